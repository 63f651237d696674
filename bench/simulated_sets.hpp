#pragma once
// What the simulation programs in bench/ share: a private folder for the data sets
// they write, and the sets spread over a few threads.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace inhibra::bench {

// A new folder only this process uses (mkdtemp), under /tmp; the program ends with
// status 1 when none can be made.
inline std::filesystem::path private_folder(const char* program) {
  std::string name = std::string("/tmp/inhibra-") + program + "-XXXXXX";
  if (mkdtemp(name.data()) == nullptr) {
    std::perror(program);
    std::exit(1);
  }
  return name;
}

// one_set(k) for k = 0 .. sets - 1, on `threads` threads taking the next k in turn.
template <typename OneSet>
void on_threads(int sets, int threads, OneSet one_set) {
  std::atomic<int> next{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < threads; ++w) {
    workers.emplace_back([&] {
      for (int k = next++; k < sets; k = next++)
        one_set(k);
    });
  }
  for (auto& w : workers)
    w.join();
}

}  // namespace inhibra::bench
