// The account policy value type: read from and stored into real PROGRAM, USERS and
// PWHIST rows, and shown by and taken back from the policy pages unchanged.
#include "EditorFixture.h"

#include "editor/TFrmGAPSettings.h"
#include "rules/TAccountPolicy.h"

namespace {
TAccountPolicy policyOf(int aging, int maxDays, int minDays, int minSize, int keep, int count, int locking,
                        int attempts)
{
    TAccountPolicy p;
    p.aging = aging;
    p.maxDays = maxDays;
    p.minDays = minDays;
    p.minSize = minSize;
    p.keepHistory = keep;
    p.count = count;
    p.acctLocking = locking;
    p.allowedAttempts = attempts;
    return p;
}

const TAccountPolicy kPolicies[] = {
    policyOf(1, 30, TAccountPolicy::kNeverAllowChange, 8, 1, 12, 1, 4),
    policyOf(0, 0, 0, 0, 0, 5, 0, 3),
    policyOf(1, 999, 7, 15, 1, 25, 1, 999),
};

// A live record set over one table's rows.
std::unique_ptr<TQuery> rows(const QString& alias, const QString& sql)
{
    auto q = std::make_unique<TQuery>();
    q->setDatabaseName(alias);
    q->setSQL(sql);
    q->setRequestLive(true);
    q->open();
    q->first();
    return q;
}
} // namespace

TEST_F(EditorTest, PolicyRoundTripsThroughTheProgramRow)
{
    db->addProgram();
    for (const TAccountPolicy& p : kPolicies) {
        auto program = rows(db->alias(), "select * from PROGRAM");
        program->edit();
        p.storeInProgram(*program);
        program->post();
        EXPECT_TRUE(TAccountPolicy::ofProgram(*rows(db->alias(), "select * from PROGRAM")) == p);
        EXPECT_EQ(integer("select GLB_PWMINDAYS from PROGRAM"), p.minDays);
        EXPECT_EQ(integer("select GLB_ALLOWEDATTEMPTS from PROGRAM"), p.allowedAttempts);
    }
    // Without a count the stored one stays.
    TAccountPolicy noCount = kPolicies[0];
    noCount.count.reset();
    auto program = rows(db->alias(), "select * from PROGRAM");
    program->edit();
    noCount.storeInProgram(*program);
    program->post();
    EXPECT_EQ(integer("select GLB_PWCOUNT from PROGRAM"), *kPolicies[2].count);
}

TEST_F(EditorTest, PolicyRoundTripsThroughAUsersRows)
{
    db->addProgram();
    const int id = db->addUser("ann", "pw");
    const QString users = QStringLiteral("select * from USERS where USER_ID = %1").arg(id);
    const QString history = QStringLiteral("select * from PWHIST where USER_ID = %1").arg(id);
    for (const TAccountPolicy& p : kPolicies) {
        auto u = rows(db->alias(), users);
        auto h = rows(db->alias(), history);
        u->edit();
        p.storeInUser(*u);
        u->post();
        h->edit();
        p.storeInHistory(*h);
        h->post();
        EXPECT_TRUE(TAccountPolicy::ofUser(*rows(db->alias(), users), *rows(db->alias(), history)) == p);
        EXPECT_EQ(historyText(id, "PWMINDAYS"), QString::number(p.minDays));
        EXPECT_EQ(userInt(id, "ACCTLOCKING"), p.acctLocking);
    }
}

TEST_F(EditorTest, GlobalPolicyDialogShowsAPolicyAndGivesItBack)
{
    for (const TAccountPolicy& p : kPolicies) {
        TFrmGAPSettings dialog;
        dialog.loadPolicy(p);
        TAccountPolicy shown = dialog.policy();
        // The count comes back only while "Remember" is chosen.
        EXPECT_EQ(shown.count.has_value(), p.keepHistory == 1);
        shown.count = p.count;
        EXPECT_TRUE(shown == p) << p.maxDays << " " << p.minDays;
        EXPECT_EQ(dialog.meditUniqueness->text(), QString::number(*p.count));
    }
}
