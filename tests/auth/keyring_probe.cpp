// Runs the token store in a process of its own, so a test can give it an environment without a
// usable Secret Service. Prints what the store answered: "save=<bool> read=<token|none>".
#include "auth/keychain_token_store.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: keyring_probe VERSION TOKEN\n");
        return 2;
    }
    const std::string version = argv[1];
    const zevra::KeychainTokenStore store(zevra::processKeyring(), [version] { return version; });
    const bool saved = store.save(argv[2]);
    const auto read = store.read();
    store.deleteToken();
    std::printf("save=%s read=%s\n", saved ? "true" : "false", read ? read->c_str() : "none");
    return 0;
}
