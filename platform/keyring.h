#pragma once

#include <optional>
#include <string>

namespace zevra {

// Generic-password items identified by service and account, in the user's default keyring.
// Never prompts: a locked keyring, a missing default collection or no reachable keyring
// service all behave alike, as a keyring that cannot be read or written.
class Keyring {
public:
    virtual ~Keyring() = default;

    // The raw bytes of the first matching item; absent when there is none or it cannot be read.
    [[nodiscard]] virtual std::optional<std::string> find(const std::string& service,
                                                          const std::string& account) = 0;
    // Adds an item readable only by this user; true when the keyring stored it.
    [[nodiscard]] virtual bool add(const std::string& service, const std::string& account,
                                   const std::string& data) = 0;
    // Removes every matching item; removing nothing is not an error.
    virtual void remove(const std::string& service, const std::string& account) = 0;
};

// The desktop's Secret Service (libsecret).
Keyring& processKeyring();

} // namespace zevra
