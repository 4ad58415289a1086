#pragma once

#include <string>
#include <string_view>

// A file mask as the search applies it to stored names: `*` matches any run of characters (also
// none), `?` exactly one, the letters A-Z match either case and every other character only
// itself. The first `*.*` counts as `*`; a trailing `.` on the mask asks for a name without
// extension, and a trailing `.` on a name is ignored.
class ZAMask {
public:
    ZAMask() = default;
    explicit ZAMask(std::string_view mask);

    bool Matches(std::string_view name) const;
    bool Empty() const { return FEmpty; }
    // The prepared mask: the first "*.*" as "*", without a trailing '.'.
    const std::string& Pattern() const { return FPattern; }
    bool HasWildcards() const { return FWildCards; }
    // The mask holds a '/', so it can never match a name without one.
    bool HasSeparator() const { return FSeparator; }

private:
    std::string FPattern;
    bool FEmpty = true;
    bool FWildCards = false;
    bool FSeparator = false;
    bool FNoExtension = false;
};

inline bool ZAMatchesMask(std::string_view name, std::string_view mask) {
    return ZAMask(mask).Matches(name);
}
