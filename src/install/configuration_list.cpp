#include "install/configuration_list.h"

std::string chooseConfigurationName(const std::optional<std::string> &given,
                                    const std::string &keyListing) {
  if (given)
    return *given;
  return keyListing.substr(0, keyListing.find('\0'));
}

std::vector<std::string> splitServiceList(const std::string &list) {
  static const char kBlanks[] = " \t";
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos)
      end = list.size();
    size_t first = list.find_first_not_of(kBlanks, start);
    if (first != std::string::npos && first < end) {
      size_t last = list.find_last_not_of(kBlanks, end - 1);
      names.push_back(list.substr(first, last - first + 1));
    }
    start = end + 1;
  }
  return names;
}
