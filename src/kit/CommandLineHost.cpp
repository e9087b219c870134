#include "kit/CommandLineHost.h"

#include <QCoreApplication>

namespace kit {

CommandLineHost::CommandLineHost(int& argc, char** argv)
    : m_application(std::make_unique<QCoreApplication>(argc, argv))
{
}

CommandLineHost::~CommandLineHost() = default;

} // namespace kit
