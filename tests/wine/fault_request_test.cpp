// The device asks for a block by number instead of taking the one it was
// sent: the program must go on from the block it names, so that the device
// ends up holding exactly the fields' record.
#include "fault_fixture.h"

namespace zavtest {
namespace {

using RequestTest = FaultTest;

TEST_F(RequestTest, ProgrammingGoesOnFromTheBlockTheDeviceAsksFor) {
    ASSERT_TRUE(fields_ready());
    // An erased memory shows every block that was not written again.
    ASSERT_TRUE(sim("erase"));
    // Block 3 is answered with a request for block 1.
    ASSERT_TRUE(sim("fault request 3 1"));
    EXPECT_EQ("Programmierung erfolgreich !", run_config(kConfigProgram).text);
    EXPECT_EQ(programmable_record(), device_record()) << "blocks were skipped or written out of place";
}

}  // namespace
}  // namespace zavtest
