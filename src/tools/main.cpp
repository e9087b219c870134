#include "kit/CommandLineHost.h"
#include "tools/ScriptTool.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    const kit::CommandLineHost host(argc, argv);
    return tools::ScriptTool::run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, std::cin);
}
