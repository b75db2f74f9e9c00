#pragma once
// A locale whose decimal separator is a comma, built for the test from the system's locale
// sources (localedef -i ru_RU -f UTF-8 into a temporary folder that LOCPATH points at), so the
// check does not depend on which locales the machine has installed. While the object lives,
// LC_NUMERIC is that locale; afterwards LC_NUMERIC and LOCPATH are back as they were.

#include <memory>
#include <string>

#include "support/TempDir.h"

namespace testing_support {

class DecimalCommaLocale {
public:
    DecimalCommaLocale();
    ~DecimalCommaLocale();
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

    // False, with Error() saying why, when the locale could not be built or selected.
    bool Active() const { return m_active; }
    const std::string& Error() const { return m_error; }

private:
    TempDir m_dir;
    std::unique_ptr<ScopedEnv> m_locpath;
    std::string m_oldNumeric;
    std::string m_error;
    bool m_active = false;
};

}  // namespace testing_support
