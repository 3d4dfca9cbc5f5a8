#pragma once
// The player's run of the Windows demo installation under Wine, driven from
// the Linux side like the Linux run: the installation is unpacked from the
// Windows build's package (MORAVO_WIN32_BUILD names that build), Wine runs
// in a prefix of that build kept for these runs, with this run's X server,
// and the Windows processes that outlive their parents (hoplin, the
// launcher it starts again) are adopted by the test, which so learns how
// they ended.
#include "tests/e2e/PlayerRun.h"

#include <string>
#include <vector>

namespace e2e {

class WineRun : public PlayerRun {
protected:
    void SetUp() override;
    void TearDown() override;
    /// Unpacks the Windows package into the scratch folder: the
    /// installation in `install`, the operator's folder in `operatorDir`.
    void placeInstallation() override;
    bool launch(testkit::Child& child, const std::vector<std::string>& args) override;
    /// The Windows build (its screenshots are kept there).
    std::string buildFolder() const override { return windowsBuild(); }
    char separator() const override { return '\\'; }

    /// Runs `args` under Wine (a Windows program's path, or a Wine tool
    /// such as "reg") in `directory` and waits; answers the exit code, with
    /// the standard output in `out` when given.
    int runWine(const std::vector<std::string>& args, std::string* out = nullptr,
                const std::string& directory = "", int timeoutMs = 120000);
    /// Version 2 published with the package's moravo-tool.exe under Wine,
    /// as an operator on Windows does it.
    void publish(const std::string& www) override;
    std::string releaseFolder() const override;
    std::string programSuffix() const override { return ".exe"; }
    /// The value `name` of HKEY_CURRENT_USER\SoftWare\Moravo as Wine's
    /// registry has it; `missing` when there is none.
    std::string storedValue(const std::string& name, const std::string& missing) override;
    /// Waits for the launcher that hoplin started with "-n" to end; answers
    /// its exit code, -1000 when it did not end in time, -1 when there was
    /// none.
    int waitForRelaunched(int timeoutMs);

    /// The Windows build, or the empty text when none is named.
    static std::string windowsBuild();

    std::string operatorDir;

private:
    std::vector<std::string> wineEnvironment() const;
    std::string prefix_;
};

} // namespace e2e
