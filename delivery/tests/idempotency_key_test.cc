#include "idempotency_key.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <set>

using Delivery::NewIdempotencyKey;

TEST(IdempotencyKey, VersionFourUuidsNeverRepeatedNotEvenByAForkedChild) {
  std::set<std::string> keys;
  for (int i = 0; i < 100; ++i) keys.insert(NewIdempotencyKey());
  EXPECT_EQ(keys.size(), 100u);
  const std::regex uuid("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
  for (const std::string& key : keys) EXPECT_TRUE(std::regex_match(key, uuid)) << key;

  // A child process must not hand out the keys its parent has yet to.
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t child = fork();
  if (child == 0) {
    const std::string key = NewIdempotencyKey();
    _exit(write(pipeFds[1], key.data(), key.size()) == 36 ? 0 : 1);
  }
  const std::string parentKey = NewIdempotencyKey();
  char childKey[36];
  ASSERT_EQ(read(pipeFds[0], childKey, sizeof childKey), 36);
  int status = 0;
  waitpid(child, &status, 0);
  close(pipeFds[0]);
  close(pipeFds[1]);
  EXPECT_NE(std::string(childKey, 36), parentKey);
}
