#pragma once
// Names parameterised cases after their `what` field: "sysex cut short" -> sysex_cut_short.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace orvo::test {

struct NameFromWhat {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& param) const {
    std::string name = param.param.what;
    for (char& ch : name)
      if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
  }
};

}  // namespace orvo::test
