#include "installer/InstallRequest.h"

#include "installer/InstallerLog.h"
#include "platform/Process.h"
#include "platform/ProcessHandle.h"

#include <climits>

int32_t ParseDecimal(std::u16string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int64_t value = 0;
    bool overflow = false;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > int64_t(INT32_MAX) + 1)
            overflow = true;
    }
    if (negative)
        value = -value;
    if (overflow || value > INT32_MAX)
        return negative ? INT32_MIN : INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

void InstallRequest::ParseParam(const std::u16string& token, bool isSwitch)
{
    auto& log = InstallerLog::Instance();
    if (isSwitch) {
        if (token == u"PPID") {
            expecting = kPPID;
        } else if (token == u"ProgramDir") {
            programDirGiven = true;
            expecting = kProgramDir;
        } else if (token == u"PwBrdPort") {
            pwBrdPortGiven = true;
            expecting = kPwBrdPort;
        } else if (token == u"PwBrdFirmware") {
            expecting = kPwBrdFirmware;
        } else if (token == u"testing") {
            testing = true;
        } else {
            expecting = kNone;
            log.Write(u"ERROR: Unknown Argument:");
            log.Write(token);
            log.Write(u"\n");
        }
        return;
    }
    switch (expecting) {
    case kPPID: ppid = static_cast<uint32_t>(ParseDecimal(token)); break;
    case kProgramDir: programDir = token; break;
    case kPwBrdPort: pwBrdPort = token; break;
    case kPwBrdFirmware: pwBrdFirmware = token; break;
    default: log.Write(u"ERROR: Unknown argument value was skipped\n"); break;
    }
}

bool InstallRequest::CheckRequest() const
{
    auto& log = InstallerLog::Instance();
    bool allowed = true;
    if (programDirGiven) {
        if (programDir.empty()) {
            log.Write(u"Install path is wrong\n");
            allowed = false;
        } else {
            log.Write(u"Install path is");
            log.Write(programDir);
            log.Write(u"\n");
        }
    }
    if (ppid == 0) {
        log.Write(u"PPID is wrong\n");
        allowed = false;
    } else {
        log.WriteComposed(u"PPID is ", ppid);
    }
    if (pwBrdPortGiven && pwBrdPort.empty()) {
        log.Write(u"PowerBoard port or baud rate is wrong\n");
        allowed = false;
    }
    if (!pwBrdFirmware.empty() && !pwBrdPortGiven) {
        log.Write(u"PowerBoard port and baud rate must be specified\n");
        allowed = false;
    }
    return allowed;
}

void ParseCommandLine(InstallRequest& request, std::u16string_view commandLine)
{
    const auto tokens = platform::splitCommandLine(commandLine);
    for (size_t i = 1; i < tokens.size(); ++i) {
        std::u16string token = tokens[i];
        InstallerLog::Instance().Write(token + u"\n");
        const bool isSwitch = !token.empty() && (token.front() == u'-' || token.front() == u'/');
        if (isSwitch)
            token.erase(0, 1);
        request.ParseParam(token, isSwitch);
    }
}

void ParseCommandLine(InstallRequest& request) { ParseCommandLine(request, platform::commandLine()); }
