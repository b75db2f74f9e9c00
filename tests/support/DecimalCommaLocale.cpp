#include "support/DecimalCommaLocale.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace testing_support {

namespace {

constexpr const char* kName = "ru_RU.UTF-8";

}  // namespace

DecimalCommaLocale::DecimalCommaLocale()
{
    const std::string target = m_dir.File(kName);
    // localedef's exit status also counts warnings about the sources; the built folder is what
    // matters.
    const std::string command = "localedef -c -i ru_RU -f UTF-8 '" + target + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    m_locpath = std::make_unique<ScopedEnv>("LOCPATH", m_dir.Path());
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    m_oldNumeric = old != nullptr ? old : "C";
    if (std::setlocale(LC_NUMERIC, kName) == nullptr) {
        m_error = "localedef -i ru_RU -f UTF-8 (status " + std::to_string(status) +
                  ") gave no usable locale; the locales package provides its sources";
        m_locpath.reset();
        return;
    }
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    if (std::string(probe) != "1,5") {
        m_error = std::string("the built locale writes 1.5 as ") + probe;
        std::setlocale(LC_NUMERIC, m_oldNumeric.c_str());
        m_locpath.reset();
        return;
    }
    m_active = true;
}

DecimalCommaLocale::~DecimalCommaLocale()
{
    if (m_active)
        std::setlocale(LC_NUMERIC, m_oldNumeric.c_str());
    m_locpath.reset();
}

}  // namespace testing_support
