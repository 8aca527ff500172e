// Data sources, data links and the master link that a detail dataset keeps.

#include <gtest/gtest.h>

#include <functional>

#include "dataset/datasource.h"
#include "tests/dataset/memorydataset.h"
#include "tests/database_error_of.h"

namespace {

std::unique_ptr<TMemoryDataSet> Countries(std::string name = "Master") {
  auto ds = std::make_unique<TMemoryDataSet>(
      std::vector<TMemoryDataSet::Column>{{"country", ftString, 20}, {"note", ftString, 20}}, std::move(name));
  ds->AddRow({Variant("Austria")});
  ds->AddRow({Variant("Brazil")});
  ds->AddRow({Variant("Chile")});
  return ds;
}

// A link that records what it hears.
class RecordingLink : public TDataLink {
 public:
  std::vector<std::string> heard;

 protected:
  void ActiveChanged() override { heard.push_back(Active() ? "active" : "inactive"); }
  void RecordChanged(TField* field) override { heard.push_back(field ? "field " + field->FieldName() : "record"); }
  void UpdateData() override { heard.push_back("update"); }
  void CheckBrowseMode() override { heard.push_back("check"); }
};

TEST(DataLink, IsActiveWhileTheSourceIsEnabledAndItsDataSetOpen) {
  auto ds = Countries();
  TDataSource source;
  RecordingLink link;
  link.SetDataSource(&source);
  EXPECT_FALSE(link.Active());
  source.SetDataSet(ds.get());
  EXPECT_FALSE(link.Active());
  ds->Open();
  EXPECT_TRUE(link.Active());
  EXPECT_EQ(source.State(), dsBrowse);
  source.SetEnabled(false);
  EXPECT_FALSE(link.Active());
  EXPECT_EQ(source.State(), dsInactive);
  source.SetEnabled(true);
  ds->Close();
  EXPECT_EQ(link.heard, (std::vector<std::string>{"active", "inactive", "active", "inactive"}));
}

TEST(DataLink, HearsScrollsEditsAndPosts) {
  auto ds = Countries();
  TDataSource source;
  source.SetDataSet(ds.get());
  ds->Open();
  RecordingLink link;
  link.SetDataSource(&source);
  link.heard.clear();
  ds->Next();
  EXPECT_EQ(link.heard, (std::vector<std::string>{"check", "record"}));
  link.heard.clear();
  ds->Edit();
  ds->FieldByName("note").SetAsString("x");
  ds->Post();
  EXPECT_EQ(link.heard, (std::vector<std::string>{"check", "record", "field note", "update", "check", "record"}));
}

TEST(DataLink, SurvivesEitherSideDyingFirst) {
  auto ds = Countries();
  ds->Open();
  auto source = std::make_unique<TDataSource>();
  source->SetDataSet(ds.get());
  RecordingLink link;
  link.SetDataSource(source.get());
  EXPECT_TRUE(link.Active());
  ds.reset();  // the dataset dies: the source forgets it
  EXPECT_EQ(source->DataSet(), nullptr);
  EXPECT_FALSE(link.Active());
  source.reset();  // the source dies: the link forgets it
  EXPECT_EQ(link.DataSource(), nullptr);
  // A link that dies first leaves its source: the dataset's later events and
  // the source's own end reach only the links still alive (a call into the
  // dead link is a use after free that the sanitizer build reports).
  auto alive = Countries("Other");
  alive->Open();
  auto other = std::make_unique<TDataSource>();
  other->SetDataSet(alive.get());
  RecordingLink survivor;
  survivor.SetDataSource(other.get());
  auto shortLived = std::make_unique<RecordingLink>();
  shortLived->SetDataSource(other.get());
  shortLived.reset();
  survivor.heard.clear();
  alive->Next();
  alive->Close();
  other.reset();
  EXPECT_EQ(survivor.heard, (std::vector<std::string>{"check", "record", "inactive"}));
  EXPECT_EQ(survivor.DataSource(), nullptr);
}

class MasterLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master = Countries();
    source.SetDataSet(master.get());
    detail = std::make_unique<TMemoryDataSet>(std::vector<TMemoryDataSet::Column>{{"country", ftString, 20}},
                                              "Detail");
    link = std::make_unique<TMasterDataLink>(*detail);
    link->OnMasterChange = [this] { log.push_back("change " + link->Fields()[0]->AsString()); };
    link->OnMasterDisable = [this] { log.push_back("disable"); };
    link->SetFieldNames("country");
    link->SetDataSource(&source);
  }
  std::unique_ptr<TMemoryDataSet> master;
  TDataSource source;
  std::unique_ptr<TMemoryDataSet> detail;
  std::unique_ptr<TMasterDataLink> link;
  std::vector<std::string> log;
};

TEST_F(MasterLinkTest, FollowsTheMasterWhileTheDetailIsOpen) {
  master->Open();  // the detail is still closed: nothing fires
  EXPECT_TRUE(log.empty());
  ASSERT_EQ(link->Fields().size(), 1u);
  detail->Open();
  master->Next();
  EXPECT_EQ(log, (std::vector<std::string>{"change Brazil"}));
  master->Close();
  EXPECT_EQ(log.back(), "disable");
  EXPECT_TRUE(link->Fields().empty());
}

TEST_F(MasterLinkTest, ReactsOnlyToItsOwnFields) {
  detail->Open();
  master->Open();
  master->Edit();
  log.clear();
  master->FieldByName("note").SetAsString("n");
  EXPECT_TRUE(log.empty());
  master->FieldByName("country").SetAsString("Chad");
  EXPECT_EQ(log, (std::vector<std::string>{"change Chad"}));
  master->Cancel();
}

TEST_F(MasterLinkTest, AnUnknownMasterFieldIsAnError) {
  master->Open();
  EXPECT_EQ(ErrorOf([&] { link->SetFieldNames("country;nope"); }), "Master: Field 'nope' not found");
  EXPECT_TRUE(link->Fields().empty());
}

TEST(DataSetLinks, IsLinkedToFindsCircles) {
  auto a = Countries("A");
  auto b = Countries("B");
  auto c = Countries("C");
  TDataSource sourceA, sourceB, sourceC;
  sourceA.SetDataSet(a.get());
  sourceB.SetDataSet(b.get());
  sourceC.SetDataSet(c.get());
  b->masterSource = &sourceA;  // B follows A
  c->masterSource = &sourceB;  // C follows B
  EXPECT_TRUE(a->IsLinkedTo(&sourceC));  // A following C would close a circle
  EXPECT_TRUE(a->IsLinkedTo(&sourceA));
  EXPECT_FALSE(c->IsLinkedTo(&sourceA));
  EXPECT_FALSE(a->IsLinkedTo(nullptr));
}

}  // namespace
