// Runs the token store in a process of its own, so a test can give it an environment without a
// usable Secret Service, or read what the keyring library printed. THREADS threads (one unless
// told) save the token ROUNDS times each, all at once; then it prints
// "save=<all saves true> read=<token|none>".
#include "auth/keychain_token_store.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <latch>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: keyring_probe VERSION TOKEN [THREADS ROUNDS]\n");
        return 2;
    }
    const std::string version = argv[1];
    const std::string token = argv[2];
    const int threadCount = argc == 5 ? std::atoi(argv[3]) : 1;
    const int rounds = argc == 5 ? std::atoi(argv[4]) : 1;
    const zevra::KeychainTokenStore store(zevra::processKeyring(), [version] { return version; });
    std::atomic<bool> saved{true};
    {
        std::latch start(threadCount);
        std::vector<std::jthread> threads;
        threads.reserve(threadCount);
        for (int i = 0; i < threadCount; ++i) {
            threads.emplace_back([&] {
                start.arrive_and_wait();
                for (int round = 0; round < rounds; ++round) {
                    if (!store.save(token)) {
                        saved = false;
                    }
                }
            });
        }
    }
    const auto read = store.read();
    store.deleteToken();
    std::printf("save=%s read=%s\n", saved ? "true" : "false", read ? read->c_str() : "none");
    return 0;
}
