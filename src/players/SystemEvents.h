#pragma once

#include "script/ScriptableApplication.h"

#include <string>
#include <vector>

namespace players {

// The system's process list as a scriptable application, always running.
// Its `process` elements are the workspace's launched applications, named
// exactly as the workspace names them ("exists process "iTunes"").
class SystemEvents : public script::ScriptableApplication {
public:
    std::string name() const override { return "System Events"; }
    const script::Dictionary& dictionary() const override;
    bool isRunning() override { return true; }
    void launch() override {}

    script::Result<script::Value> get(const script::ObjectSpecifier& object) override;
    script::Result<script::Value> set(const script::ObjectSpecifier& object, const script::Value& value) override;
    script::Result<bool> exists(const script::ObjectSpecifier& object) override;
    script::Result<script::Value> command(const std::string& term,
        const std::optional<script::ObjectSpecifier>& directObject) override;

private:
    // The name of the process a one-step path selects, if it runs.
    std::optional<std::string> process(const script::Reference& ref) const;
};

} // namespace players
