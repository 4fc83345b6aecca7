// The words for failures: the long and the brief form and the stable word of each kind.
#include "operations/FailureDescription.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

TEST(FailureDescription, AdviceNamesWhatReallyDecides) {
    struct Case {
        Failure failure;
        std::string word;
        std::string full;  // part of the long form
        std::string brief; // part of the brief form
    };
    const auto failure = [](FailureKind kind) {
        Failure made;
        made.kind = kind;
        made.port = 3;
        made.device = "/dev/ttyS2";
        return made;
    };
    Failure groupShared = failure(FailureKind::NoPermission);
    groupShared.group = "dialout";
    Failure ownerOnly = failure(FailureKind::NoPermission);
    ownerOnly.owner = "root";
    ownerOnly.mode = 0600;
    Failure missing = failure(FailureKind::NoSuchPort);
    missing.port = 4;
    missing.tried = {"/tmp/ports/com4"};
    for (const Case& c : std::vector<Case>{
             {groupShared, "no_permission", "Add your user to the dialout group",
              "belongs to the group dialout"},
             {ownerOnly, "no_permission", "It belongs to root with mode 0600",
              "the device belongs to root with mode 0600"},
             {missing, "no_device", "or link /tmp/ports/com4 to its device",
              "looked for /tmp/ports/com4"},
             {failure(FailureKind::NoPortSelected), "no_port_selected",
              "or use Reader > Search for the reader.", "no serial port"},
             {failure(FailureKind::NoReply), "cut_short", "stopped answering", "did not end"},
         }) {
        EXPECT_EQ(failureWord(c.failure.kind), c.word);
        EXPECT_NE(describeFailure(c.failure).find(c.full), std::string::npos)
            << describeFailure(c.failure);
        EXPECT_NE(briefFailure(c.failure).find(c.brief), std::string::npos)
            << briefFailure(c.failure);
        EXPECT_EQ(describeFailure(c.failure).find("group root"), std::string::npos);
    }
    EXPECT_EQ(failureWord(FailureKind::None), "");
    EXPECT_EQ(describeFailure(Failure{}), "");
}
