// Times the rewriting of a 5 MiB first-party page, plain and as the terminal page.
// Usage: zevra_bench_rewrite_page [ROUNDS]
#include "server/page_rewriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// Markup like a real page's: paragraphs with links and a few pictographs, shell scripts to drop.
std::string samplePage(std::size_t size) {
    std::string html = "<!doctype html><html><head><meta charset=\"utf-8\"><title>t</title>"
                       "<script src=\"/static/zevra_actions.js\"></script>"
                       "<link rel=\"stylesheet\" href=\"/theme.css\"></head><body>";
    const std::string chunk = "<p class=\"t-msg\">Some text with a <a href=\"/docs/page.html\">link"
                              "</a> and \xE2\x98\x80 a sun, caf\xC3\xA9 \xF0\x9F\x9A\x80.</p>\n"
                              "<script src=\"/app/chunk.js\"></script>\n";
    while (html.size() < size) {
        html += chunk;
    }
    return html + "</body></html>";
}

double medianMilliseconds(const std::string& page, std::string_view path, int rounds) {
    std::vector<double> times;
    std::size_t sink = 0;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const std::string result =
            zevra::rewrittenPage(page, {.pagePath = path,
                                        .localBase = "http://127.0.0.1:18484/proxy",
                                        .origin = "https://zevra.example"});
        const auto end = std::chrono::steady_clock::now();
        sink += result.size();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("  (%zu bytes out)\n", sink / static_cast<std::size_t>(rounds));
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    const std::string page = samplePage(std::size_t{5} << 20);
    std::printf("page: %zu bytes, %d rounds\n", page.size(), rounds);
    std::printf("plain page median: %.2f ms (goal < 10)\n",
                medianMilliseconds(page, "/docs/", rounds));
    std::printf("terminal page median: %.2f ms (goal < 30)\n",
                medianMilliseconds(page, "/kelmor/terminal", rounds));
    return 0;
}
