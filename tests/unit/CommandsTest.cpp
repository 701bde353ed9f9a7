// Command lines as the switcher receives them (without the CR the link adds),
// and the status queries of a read-back with their payload lengths.
#include "protocol/Commands.h"

#include "protocol/StatusQueries.h"

#include <gtest/gtest.h>

namespace qvc {
namespace {

TEST(CommandLines, RoutingLinesCarryOneBasedNumbersAndSpecialValues) {
    // Input 5 to output 2 on both layers, video only, and both layers cleared.
    EXPECT_EQ(cmd::Rtemp(1, 4, 4), "RTEMP 2 5 5");
    EXPECT_EQ(cmd::Rtemp(1, 4, cmd::kUnchanged), "RTEMP 2 5 101");
    EXPECT_EQ(cmd::Rtemp(1, cmd::kNoInput, cmd::kNoInput), "RTEMP 2 0 0");
    EXPECT_EQ(cmd::Rtemp(0, cmd::kUnchanged, 2), "RTEMP 1 101 3");
    EXPECT_EQ(cmd::Rtemp(15, 15, 15), "RTEMP 16 16 16");
    EXPECT_EQ(cmd::Take(true), "TAKE 1");
    EXPECT_EQ(cmd::Take(false), "TAKE 0");
    EXPECT_EQ(cmd::Clear(), "CLEAR");
    EXPECT_EQ(cmd::Omute(3, 1), "OMUTE 4 1");
    EXPECT_EQ(cmd::Omute(3, 0), "OMUTE 4 0");
    EXPECT_EQ(cmd::Alvl(2, 201), "ALVL 3 201");
    EXPECT_EQ(cmd::Alvl(15, 0), "ALVL 16 0");
}

TEST(CommandLines, GroupLinesUse101ForTheSideNotGivenAnd201ForAllGroups) {
    EXPECT_EQ(cmd::Gclear(cmd::kAllGroups), "GCLEAR 201");
    EXPECT_EQ(cmd::Gclear(0), "GCLEAR 1");
    EXPECT_EQ(cmd::Gadd(0, cmd::kNotGiven, 2), "GADD 1 101 3");
    EXPECT_EQ(cmd::Gadd(0, 3, cmd::kNotGiven), "GADD 1 4 101");
    EXPECT_EQ(cmd::Gdel(0, 4, cmd::kNotGiven), "GDEL 1 5 101");
    EXPECT_EQ(cmd::Gdel(15, cmd::kNotGiven, 15), "GDEL 16 101 16");
}

TEST(CommandLines, PresetLinesAreOneBasedExceptTheGroupQuery) {
    EXPECT_EQ(cmd::Prst(0), "PRST 1");
    EXPECT_EQ(cmd::Prst(15), "PRST 16");
    EXPECT_EQ(cmd::Rprst(4, 1), "RPRST 5 1");
    EXPECT_EQ(cmd::Rprst(0, 0), "RPRST 1 0");
    EXPECT_EQ(cmd::Pginfoqv(0), "PGINFOQV 0");
    EXPECT_EQ(cmd::Pginfoqv(15), "PGINFOQV 15");
}

TEST(CommandLines, SetupLinesCarryTheValuesAsGiven) {
    EXPECT_EQ(cmd::IpConfig(192, 168, 1, 200), "IPCONFIG 192 168 1 200");
    EXPECT_EQ(cmd::IpConfig(-1, 0, 0, 255), "IPCONFIG -1 0 0 255");
    EXPECT_EQ(cmd::Fplock(true), "FPLOCK 1");
    EXPECT_EQ(cmd::Fplock(false), "FPLOCK 0");
    EXPECT_EQ(cmd::ResetQv(false), "RESETQV R");
    EXPECT_EQ(cmd::ResetQv(true), "RESETQV F");
    EXPECT_EQ(cmd::Switch(2), "SWITCH 2");
    EXPECT_EQ(cmd::Fdly(4000), "FDLY 4000");
    EXPECT_EQ(cmd::Fdly(0), "FDLY 0");
}

TEST(StatusQueries, LinesInReadBackOrder) {
    EXPECT_EQ(QueryLine(StatusQuery::Minfoqv), "MINFOQV");
    EXPECT_EQ(QueryLine(StatusQuery::Ainfoqv), "AINFOQV");
    EXPECT_EQ(QueryLine(StatusQuery::Oinfoqv), "OINFOQV");
    EXPECT_EQ(QueryLine(StatusQuery::Opinfoqv), "OPINFOQV");
    EXPECT_EQ(QueryLine(StatusQuery::Pinfoqv), "PINFOQV");
    EXPECT_EQ(QueryLine(StatusQuery::Ginfoqv), "GINFOQV");
    EXPECT_EQ(QueryLine(StatusQuery::Pginfoqv, 0), "PGINFOQV 0");
    EXPECT_EQ(QueryLine(StatusQuery::Pginfoqv, 15), "PGINFOQV 15");
}

struct ModelLengths {
    std::uint8_t code;
    int minfo, ainfo, oinfo, opinfo, pinfo, ginfo, pginfo;
    bool largeForm;
};

TEST(StatusQueries, ExpectedLengthForEveryModel) {
    const ModelLengths rows[] = {
        {0, 20, 12, 40, 16, 864, 130, 130, false},
        {1, 20, 12, 40, 16, 864, 130, 130, false},
        {2, 20, 16, 80, 32, 1568, 322, 322, true},
        {3, 20, 16, 80, 32, 1568, 322, 322, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.code));
        DeviceModel model;
        model.ApplyModelCode(row.code);
        EXPECT_EQ(ExpectedLength(StatusQuery::Minfoqv, model, row.code), row.minfo);
        EXPECT_EQ(ExpectedLength(StatusQuery::Ainfoqv, model, row.code), row.ainfo);
        EXPECT_EQ(ExpectedLength(StatusQuery::Oinfoqv, model, row.code), row.oinfo);
        EXPECT_EQ(ExpectedLength(StatusQuery::Opinfoqv, model, row.code), row.opinfo);
        EXPECT_EQ(ExpectedLength(StatusQuery::Pinfoqv, model, row.code), row.pinfo);
        EXPECT_EQ(ExpectedLength(StatusQuery::Ginfoqv, model, row.code), row.ginfo);
        EXPECT_EQ(ExpectedLength(StatusQuery::Pginfoqv, model, row.code), row.pginfo);
        EXPECT_EQ(LargePayloadForm(model), row.largeForm);
    }
}

TEST(StatusQueries, UnknownModelCodeKeepsTheSizesReadBefore) {
    // Before any block: 16 x 16. A code of 7 keeps it and takes the full sizes.
    DeviceModel model;
    model.ApplyModelCode(7);
    EXPECT_EQ(ExpectedLength(StatusQuery::Ainfoqv, model, 7), 16);
    EXPECT_EQ(ExpectedLength(StatusQuery::Oinfoqv, model, 7), 80);
    EXPECT_EQ(ExpectedLength(StatusQuery::Ginfoqv, model, 7), 322);
    EXPECT_EQ(ExpectedLength(StatusQuery::Pinfoqv, model, 7), 1568);
}

} // namespace
} // namespace qvc
