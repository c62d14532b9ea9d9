// The installer's parameters, filled from its command line, and the checks they must pass.
// Parsing never fails as a whole: unknown switches and values without a key are logged and
// skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class InstallRequest {
public:
    enum Key : int32_t {
        kNone = -1,
        kPPID = 1,
        kProgramDir = 2,
        kPwBrdPort = 3,
        kPwBrdFirmware = 4,
    };

    virtual ~InstallRequest() = default;

    // token comes without its leading "-" or "/" when isSwitch is true.
    virtual void ParseParam(const std::u16string& token, bool isSwitch);

    // Makes every check in order, logging each; true when none failed.
    bool CheckRequest() const;

    uint32_t ppid = 0;
    std::u16string programDir;
    int32_t expecting = kNone;
    bool testing = false;
    bool pwBrdPortGiven = false;
    bool programDirGiven = false;
    std::u16string pwBrdPort;
    std::u16string pwBrdFirmware;
};

// Hands every token after the first (the program) to request.ParseParam, logging each.
void ParseCommandLine(InstallRequest& request, std::u16string_view commandLine);
// The same for the process's own command line.
void ParseCommandLine(InstallRequest& request);

// The C library's string-to-long conversion for a 32-bit long, as the value of "PPID" is read.
int32_t ParseDecimal(std::u16string_view text);
