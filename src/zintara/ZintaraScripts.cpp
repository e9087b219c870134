// The script table: twenty sources compiled once, run on demand.
#include "zintara/Zintara.h"

#include "script/Script.h"
#include "zintara/ScriptTable.h"

void Zintara::initScripts()
{
    for (int slot = 0; slot < kScriptCount; ++slot)
        scripts[slot] = zintara::kScriptSources[slot];
    for (int slot = 0; slot < kScriptCount; ++slot) {
        compiledScripts[slot] = std::make_unique<script::Script>(scripts[slot], m_apps);
        // A slot that fails to compile keeps its script and yields no result.
        compiledScripts[slot]->compile();
    }
}

std::optional<std::string> Zintara::runScript(int slot)
{
    if (slot < 0 || slot >= kScriptCount || !compiledScripts[slot])
        return std::nullopt;
    const script::Result<script::Value> result = compiledScripts[slot]->execute();
    if (!result.ok() || result.value().typeCode() == 0)
        return std::nullopt;
    return result.value().stringValue();
}

bool Zintara::emptyStr(const std::optional<std::string>& str)
{
    return !str || str->empty();
}
