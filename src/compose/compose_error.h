#pragma once

#include <stdexcept>

// Raised by the builder with one of its fixed texts: the validation texts ("A subject is
// reqired to post a message", ...) and "Could not read attachment " + path. The posting ends
// on it and shows what() to the user.
class ComposeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
