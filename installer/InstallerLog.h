// The installer's log "Downloader.log" beside its executable. Each entry is the message and one
// line feed, pushed to the file, which is then closed and reopened, so that a run cut short still
// shows its last step. When the file cannot be opened, logging stays off for the run.
// No lock: the main thread writes only before the worker starts and after it has ended.
#pragma once

#include <concepts>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/File.h"

class InstallerLog {
public:
    static InstallerLog& Instance();
    // Closes the process-wide log so that the next Instance() opens it anew. Tests only: nothing
    // may be writing.
    static void ResetInstance();

    void Write(std::u16string_view message);

    // Composes text and numbers into one entry ending with a line feed, as the installer's
    // messages with values are written: unsigned types print unsigned, signed types signed,
    // bool as 1 or 0.
    template <typename... Pieces>
    void WriteComposed(const Pieces&... pieces)
    {
        std::u16string text;
        (append(text, pieces), ...);
        text += u'\n';
        Write(text);
    }

    bool IsFailed() const { return m_failed; }

    ~InstallerLog();
    InstallerLog(const InstallerLog&) = delete;
    InstallerLog& operator=(const InstallerLog&) = delete;

private:
    InstallerLog();
    void Open();

    static void append(std::u16string& text, std::u16string_view piece) { text += piece; }
    static void append(std::u16string& text, const char16_t* piece) { text += piece; }
    static void append(std::u16string& text, bool value) { text += value ? u'1' : u'0'; }
    template <std::integral Number>
        requires(!std::same_as<Number, bool>)
    static void append(std::u16string& text, Number value)
    {
        const std::string digits = std::to_string(value);
        text.append(digits.begin(), digits.end());
    }

    platform::File m_file;
    bool m_failed = false;
};
