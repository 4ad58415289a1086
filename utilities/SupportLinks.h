#pragma once

#include <QString>

namespace kestrane {

// The maker's web address ("http://" and the maker's domain) when selector is exactly "h";
// the maker's support e-mail address (mailbox, "@", domain) for any other selector.
QString MakeSupportAddress(const QString& selector);

// Combines each UTF-16 code unit of text by exclusive-or with a unit of key: the unit at text
// position i (counted from 1) with the key's unit at position (i mod key length) + 1. The result
// has the text's length and may hold any 16-bit value, 0 included. Applying it twice with the
// same key gives the text back. An empty text gives an empty result without looking at the key;
// a non-empty text with an empty key is refused (std::invalid_argument).
QString XorString(const QString& text, const QString& key);

// The maker's donation page, assembled from its pieces (most of them stored scrambled).
QString DonationAddress();

} // namespace kestrane
