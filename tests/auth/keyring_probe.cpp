// The token store in a process of its own, for environments without a usable Secret Service and
// to see what the keyring library prints. Arguments TOKEN VERSION THREADS ROUNDS: THREADS threads
// save TOKEN ROUNDS times each, all at once; then prints "save=<all true> read=<token|none>".
#include "auth/keychain_token_store.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <latch>
#include <string>
#include <thread>
#include <vector>

int main(int, char** argv) {
    const zevra::KeychainTokenStore store(zevra::processKeyring(),
                                          [version = std::string(argv[2])] { return version; });
    const int threadCount = std::atoi(argv[3]);
    std::atomic<int> failures{0};
    std::latch start(threadCount);
    std::vector<std::jthread> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back([&] {
            start.arrive_and_wait();
            for (int round = std::atoi(argv[4]); round > 0; --round) {
                failures += store.save(argv[1]) ? 0 : 1;
            }
        });
    }
    threads.clear(); // joins them
    const auto read = store.read();
    store.deleteToken();
    std::printf("save=%s read=%s\n", failures == 0 ? "true" : "false",
                read ? read->c_str() : "none");
    return 0;
}
