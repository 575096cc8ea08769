// A decimal-comma locale made current for a test, so number conversions can be shown to ignore the
// locale the application chose with setlocale.
#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace orvel::test {

namespace comma_locale_detail {

inline bool DecimalComma() {
    const std::lconv* conv = std::localeconv();
    return conv && conv->decimal_point && std::string(conv->decimal_point) == ",";
}

inline bool TrySet(const char* name) {
    return std::setlocale(LC_ALL, name) && DecimalComma();
}

// Locales a machine may already have installed.
inline bool TryInstalled() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"})
        if (TrySet(name)) return true;
    return false;
}

// The locale is compiled once per user into a folder under the temporary directory and kept there:
// compiling takes seconds and every test runs in a process of its own. It is compiled beside the
// folder and renamed into place, so a process never sees a half-written locale.
inline std::filesystem::path CacheFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::filesystem::path base = tmp && *tmp ? tmp : "/tmp";
    return base / ("orvel-test-locales-" + std::to_string(::getuid()));
}

inline bool TryCached(const std::filesystem::path& folder) {
    if (!std::filesystem::exists(folder / "de_DE.UTF-8" / "LC_NUMERIC")) return false;
    ::setenv("LOCPATH", folder.c_str(), 1);
    if (TrySet("de_DE.UTF-8")) return true;
    ::unsetenv("LOCPATH");
    std::setlocale(LC_ALL, "C");
    return false;
}

inline bool TryCompiled() {
    std::filesystem::path folder = CacheFolder();
    if (TryCached(folder)) return true;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::string work = (folder / "build-XXXXXX").string();
    if (!::mkdtemp(work.data())) return false;
    std::filesystem::path built = std::filesystem::path(work) / "de_DE.UTF-8";
    std::string command = "localedef -i de_DE -f UTF-8 '" + built.string() + "' >/dev/null 2>&1";
    int rc = std::system(command.c_str());
    (void)rc; // localedef reports warnings with a non-zero code; the locale is judged by loading it
    if (std::filesystem::exists(built / "LC_NUMERIC"))
        std::filesystem::rename(built, folder / "de_DE.UTF-8", ec); // loses a race harmlessly
    std::filesystem::remove_all(work, ec);
    return TryCached(folder);
}

} // namespace comma_locale_detail

// Makes a decimal-comma locale current for the whole process (LC_ALL, as the explorer's
// setlocale(LC_ALL, "") does for a user in such a locale); the destructor goes back to "C". A test
// that cannot get one fails: the conversions it guards would otherwise go unchecked.
class TCommaLocale {
public:
    TCommaLocale() {
        FActive = comma_locale_detail::TryInstalled() || comma_locale_detail::TryCompiled();
    }
    ~TCommaLocale() {
        std::setlocale(LC_ALL, "C");
        ::unsetenv("LOCPATH");
    }
    TCommaLocale(const TCommaLocale&) = delete;
    TCommaLocale& operator=(const TCommaLocale&) = delete;

    bool Active() const { return FActive; }

private:
    bool FActive = false;
};

// Use in a test body: ORVEL_REQUIRE_COMMA_LOCALE(name); then the locale stays current to the end
// of the scope.
#define ORVEL_REQUIRE_COMMA_LOCALE(name)                                                           \
    ::orvel::test::TCommaLocale name;                                                              \
    ASSERT_TRUE(name.Active()) << "no decimal-comma locale: install the 'locales' package "        \
                                  "(localedef and its de_DE sources) so one can be compiled"

} // namespace orvel::test
