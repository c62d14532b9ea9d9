// Where the running program lies and where its data folder is.
// Built once on first use; the first use must happen before a second thread starts.
#pragma once

#include <string>
#include <string_view>

namespace Files {

class AppPaths {
public:
    // The process-wide record. prefix names the data folder ("<prefix> Data") on the first call
    // and is ignored afterwards.
    static const AppPaths& instance(std::u16string_view prefix = u"");

    std::u16string modulePath;
    std::u16string moduleDirectory;
    std::u16string dataDirectory;

private:
    explicit AppPaths(std::u16string_view prefix);
};

// A copy of AppPaths::moduleDirectory.
std::u16string moduleDirectory();
// A copy of AppPaths::dataDirectory; the folder is created (one level) when missing.
std::u16string dataDirectory();

} // namespace Files
