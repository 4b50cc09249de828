#include "db_profile.h"

#include <cctype>

namespace {

// Any driver no other profile claims: standard ODBC only.
class DefaultProfile : public vqDbProfile {
public:
    bool Serves(const std::string&) const override { return true; }
    const char* Name() const override { return "ODBC"; }
};

}  // namespace

const vqDbProfile& vqDbSqliteProfile();
const vqDbProfile& vqDbPostgresProfile();

const vqDbProfile& vqDbProfile::ForDriver(const std::string& driverName) {
    std::string lower(driverName);
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    for (const vqDbProfile* profile : {&vqDbSqliteProfile(), &vqDbPostgresProfile()})
        if (profile->Serves(lower)) return *profile;
    static const DefaultProfile plain;
    return plain;
}

bool vqDbProfile::IsLockWait(const std::string& sqlState, long) const {
    // HYT00: the statement's query timeout ran out, which bounds its lock waits.
    return sqlState == "HYT00";
}

std::string vqDbProfile::SameValue(const std::string& column, SWORD, int& markers) const {
    markers = 2;
    return "(" + column + "=? OR (" + column + " IS NULL AND ? IS NULL))";
}
