// lstrcmpiW's equality for the texts the manager compares without regard
// to case: configuration booleans, reboot flags and OS names, all ASCII in
// their expected forms. Only A-Z fold; any other character equals only
// itself (lstrcmpiW would also pass over characters of no weight, such as
// a soft hyphen: such a text is taken as no match here).
#pragma once
#include <string>

namespace qz {

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b);

}  // namespace qz
