// The text of the error an action throws, so a test states the expected text in one line.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace tessaly::testing {

// What `act` throws as an `Error` (its what()), or nullopt when it returns.
template <typename Error, typename Act>
std::optional<std::string> ErrorText(Act&& act) {
  try {
    std::forward<Act>(act)();
  } catch (const Error& error) {
    return error.what();
  }
  return std::nullopt;
}

// Whether `act` throws an `Error` whose text holds `part`; for EXPECT_TRUE.
template <typename Error, typename Act>
::testing::AssertionResult ThrowsWith(Act&& act, const std::string& part) {
  const std::optional<std::string> text = ErrorText<Error>(std::forward<Act>(act));
  if (!text) return ::testing::AssertionFailure() << "no error, where one holds \"" << part << '"';
  if (text->find(part) == std::string::npos)
    return ::testing::AssertionFailure() << '"' << *text << "\" doesn't hold \"" << part << '"';
  return ::testing::AssertionSuccess();
}

}  // namespace tessaly::testing
