// The OS family flag and the two tests made on it.
#include "app/OsFamily.h"

#include <mbstring.h>

namespace {
constexpr char kVistaFlag[] = "Vista";
}

std::string& OsFamilyFlag() {
    static std::string flag;
    return flag;
}

Family CurrentFamily() {
    const auto* flag = reinterpret_cast<const unsigned char*>(OsFamilyFlag().c_str());
    return _mbscmp(flag, reinterpret_cast<const unsigned char*>(kVistaFlag)) == 0 ? Family::Vista : Family::Nt;
}

bool NamesVistaFamily(const std::string& productName) { return productName.find(kVistaFlag) != std::string::npos; }
