#include "sim/rehearsal_json.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace vort64::sim {
namespace {

using Json = nlohmann::json;

// What the end-to-end tests cannot bring about: a twin that could not be
// made, a step that did not run to its end, a folder that could not be
// removed, and words that are not UTF-8. The document still says each, and
// stays one valid document.
TEST(RehearsalJsonTest, WhatWentWrongIsSaidAndTheDocumentStaysValid) {
  Rehearsal rehearsal;
  VersionRehearsal noTwin;
  noTwin.version = {2, 90};
  noTwin.twinError = "cannot create /tmp/x/2.90: it exists";
  rehearsal.versions.push_back(noTwin);
  VersionRehearsal stopped;
  stopped.version = {2, 54};
  stopped.before = ReadCheckRun(std::nullopt, "", "");
  stopped.import = ReadImportRun(103, "", "Error: caf\xe9\n");
  stopped.after = ReadCheckRun(0, "boot mode: same\n1 settings: 1 same, 0 differ, 0 not supported, 0 invalid\n", "");
  stopped.settings = SettingsOf(stopped.before, stopped.import, stopped.after);
  rehearsal.versions.push_back(stopped);
  const RehearsalEnd end{std::nullopt, "the twins' folder /tmp/x could not be removed", 1};

  const std::string text = RehearsalDocument(rehearsal, end);
  ASSERT_TRUE(text.ends_with("}\n"));
  const Json doc = Json::parse(text);
  EXPECT_EQ(doc["exitCode"], 1);
  EXPECT_EQ(doc["error"], (Json{{"message", "the twins' folder /tmp/x could not be removed"}}));
  EXPECT_EQ(doc["kept"], nullptr);
  ASSERT_EQ(doc["versions"].size(), 2u);
  const Json& first = doc["versions"][0];
  EXPECT_EQ(first["twinError"], "cannot create /tmp/x/2.90: it exists");
  EXPECT_EQ(first["before"], (Json{{"exitCode", nullptr}, {"counts", nullptr}, {"errors", Json::array()}}));
  EXPECT_EQ(first["compliant"], false);
  const Json& second = doc["versions"][1];
  EXPECT_EQ(second["twinError"], nullptr);
  EXPECT_EQ(second["before"]["exitCode"], nullptr);
  EXPECT_EQ(second["import"], (Json{{"exitCode", 103}, {"verdict", nullptr}, {"errors", {"Error: caf\xef\xbf\xbd"}}}));
  EXPECT_EQ(second["after"]["exitCode"], 0);
  EXPECT_EQ(second["compliant"], true);
  EXPECT_EQ(
      second["settings"],
      (Json{{{"name", "boot mode"}, {"before", nullptr}, {"import", nullptr}, {"after", "same"}, {"endsSame", true}}}));
  EXPECT_EQ(doc["summary"], (Json{{"compliant", {"2.54"}}, {"notCompliant", {"2.90"}}}));
}

}  // namespace
}  // namespace vort64::sim
