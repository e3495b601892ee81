#pragma once

// Marks a text that the window shows in the operator's language. The core
// keeps the Chinese text itself; Qt's lupdate collects the marked texts into
// the translation files, and the window looks each one up under its context.
// The same definition as Qt's, so that either may come first.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif
