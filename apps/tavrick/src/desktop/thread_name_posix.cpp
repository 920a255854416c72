#include "desktop/thread_name.h"

#include <pthread.h>

#include <array>

namespace tavrick {

void name_this_thread(std::string_view name) {
  const std::string cut(name.substr(0, k_thread_name_limit));
  // Only a name over the limit fails, and the cut keeps it under.
  (void)pthread_setname_np(pthread_self(), cut.c_str());
}

std::string this_thread_name() {
  std::array<char, k_thread_name_limit + 1> name{};
  if (pthread_getname_np(pthread_self(), name.data(), name.size()) != 0) {
    return {};
  }
  return name.data();
}

}  // namespace tavrick
