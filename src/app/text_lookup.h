// TextLookup: how the window looks up a user-visible text by key, with its English default.
#pragma once

#include <QString>
#include <functional>

namespace fotolume::app {

// Looks up one user-visible text by key in the current language, with the
// built-in English default. The language module supplies the real one.
using TextLookup = std::function<QString(const char* key, const char* def)>;

// The lookup used until a language file is read: every text is its default.
inline QString DefaultText(const char* /*key*/, const char* def) { return QString::fromUtf8(def); }

}  // namespace fotolume::app
