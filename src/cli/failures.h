#pragma once

#include "base/error.h"

namespace tarnwick::cli {

// How a command ends when it does not succeed. Scripts tell them apart by the
// exit status: a refusal is 1 (as "differs" is for verify), anything else 2.

// The command's words are wrong (an unknown option, a missing value, a row
// that is not a number): status 2. The message names the option at fault.
class UsageError : public Error {
public:
    using Error::Error;
};

// The command was understood and refused: a rule of the editors, a working
// copy that another program holds or that does not load whole. Status 1.
class Refusal : public Error {
public:
    using Error::Error;
};

} // namespace tarnwick::cli
