// The base of the install engine's tests: a scratch tree with the CD and the install-to
// directory, a session set up as the progress window leaves it, a recording port, and
// products mastered on the CD and listed in the session.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/engine/install_journal.h"
#include "setup/engine/open_files.h"
#include "setup/engine/progress.h"
#include "setup/session/run_lock.h"
#include "setup/session/session.h"
#include "support/engine_cd.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"

namespace qvtest {

// The places a run into `dir` may change: the directory alone.
inline qv::Confinement PlacesOf(const std::string& dir) {
    qv::Confinement places;
    places.installDir = P(dir);
    places.uninstallKey = qv::RunLockName(P(dir));
    return places;
}

class EngineFixture : public ::testing::Test {
protected:
    TempTree tree;
    qv::Session s;
    RecordingPort port;
    std::string cd = tree.path("cd");
    std::string dest = tree.path("inst");

    void SetUp() override {
        s.ClusterSize = qv::kClusterSize;
        s.NoCrcCheck = false;
        s.DbPlatformCode = "ORA";
        s.InstallDir = dest;
        s.ProductBytes = 1e9;
    }
    // Every pass closes the files it opened, however it ends.
    void TearDown() override { EXPECT_EQ(qv::OpenFileCount(), 0); }

    // The places a run into dest may change.
    qv::Confinement Places() const { return PlacesOf(dest); }
    qv::Path Dest() const { return P(dest); }

    // Runs `run` with a journal of its own, committed at the end whatever the outcome, as a
    // run that does not roll back ends: what was installed stays, and earlier files that
    // were replaced go.
    template <typename Run>
    void Journaled(Run&& run) {
        qv::InstallJournal journal(Places());
        run(journal);
        qv::RunError error;
        EXPECT_TRUE(journal.Commit(port, error)) << error.description;
    }

    // Product `index` of ListedProducts, chosen, in cd\<dir>, mastered with these files.
    qv::ProductRec& AddProduct(int index, const std::string& dir, const std::vector<CdFile>& files, int baseDelta = 0) {
        MasterProduct(cd + "\\" + dir, files, baseDelta);
        qv::ProductRec& p = s.ListedProducts[static_cast<size_t>(index)];
        p.ProductName = "Product " + dir;
        p.ProductDir = cd + "\\" + dir + "\\";
        p.ProductCode = dir;
        p.BaseDelta = static_cast<int16_t>(baseDelta);
        p.Size = 1000000;
        p.Chosen = -1;
        if (s.ProductCount < index) s.ProductCount = static_cast<int16_t>(index);
        return p;
    }
};

}  // namespace qvtest
