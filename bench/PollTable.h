#pragma once

#include "script/ScriptableApplication.h"
#include "script/Script.h"
#include "zintara/ScriptTable.h"

#include <optional>
#include <string>
#include <vector>

namespace bench {

// The slots a full poll runs, in the controller's order: rating, position,
// state, then the eight track fields.
constexpr int kPoll[] = {19, 10, 4, 1, 2, 3, 8, 5, 6, 7, 9};

// The program's script table compiled against a directory of applications,
// run as the controller's runScript runs it.
class PollTable {
public:
    explicit PollTable(const script::ApplicationDirectory& apps)
    {
        for (const char* source : zintara::kScriptSources) {
            m_table.emplace_back(source, apps);
            m_table.back().compile();
        }
    }

    // The result's text, or nothing.
    std::optional<std::string> run(int slot)
    {
        auto r = m_table[std::size_t(slot)].execute();
        if (!r.ok() || r.value().typeCode() == 0)
            return std::nullopt;
        return r.value().stringValue();
    }

private:
    std::vector<script::Script> m_table;
};

} // namespace bench
