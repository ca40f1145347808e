// The crossfade mixer through plugMain: two inputs or none at all.
#include "tests/examples/ExampleHost.h"

#include <cstdlib>
#include <cstring>

using namespace examples;
using testhost::ProcessRecord;

namespace {

class CrossfadeTest : public ExampleTest {
protected:
    void SetUp() override {
        ExampleTest::SetUp();
        Load("QUICKSTARTMIXER", 8, 8);
        dest = MakeInput(Filled(8, 8, { 200, 0, 0, 255 }));
        src = MakeInput(Filled(8, 8, { 0, 0, 100, 255 }), 16, 32);  // padded: only its image may show
    }

    std::unique_ptr<tessivar::InputTexture> dest, src;
};

}  // namespace

TEST_F(CrossfadeTest, AnswersWithItsOwnIdentity) {
    ExpectIdentity("TQSM", "QS Crossfade", 2 /* mixer */, 2);
}

TEST_F(CrossfadeTest, MixValFadesFromTheFirstInputToTheSecond) {
    ProcessRecord both;
    AddInput(both, *dest);
    AddInput(both, *src);

    ASSERT_EQ(Frame(both), testhost::kSuccess);
    ExpectNear(Pixel(7, 0), 200, 0, 0);

    SetFloat(0, 0.5f);
    ASSERT_EQ(Frame(both), testhost::kSuccess);
    ExpectNear(Pixel(0, 7), 100, 0, 50);

    SetFloat(0, 1.0f);
    ASSERT_EQ(Frame(both), testhost::kSuccess);
    ExpectNear(Pixel(7, 0), 0, 0, 100);  // the far corner: still no padding
}

TEST_F(CrossfadeTest, RefusesAFrameWithOneInput) {
    ProcessRecord one;
    AddInput(one, *dest);
    EXPECT_EQ(Frame(one), testhost::kFail);
    EXPECT_EQ(Pixel(4, 4).a, 0);  // nothing drawn

    ProcessRecord secondMissing;
    AddInput(secondMissing, *dest);
    secondMissing.AddNullInput();
    EXPECT_EQ(Frame(secondMissing), testhost::kFail);
}
