#include "tomedb/defs.h"

#include <gtest/gtest.h>

#include "core/errors.h"

TEST(DefCollections, UnnamedItemsTakeTheirClassNameAndNumber) {
  TTomeFieldDefs fields;
  TTomeIndexDefs indexes;
  TTomeTableDefs tables;
  EXPECT_EQ(fields.Add()->Name(), "TomeF1");
  EXPECT_EQ(fields.Add()->Name(), "TomeF2");
  EXPECT_EQ(indexes.Add()->Name(), "TomeI1");
  EXPECT_EQ(tables.Add()->Name(), "TomeT1");
  // Numbers are never reused after a delete, so default names stay distinct.
  fields.Delete(0);
  EXPECT_EQ(fields.Add()->Name(), "TomeF3");
  EXPECT_EQ(fields.Add("given", ftInteger, 0, 0)->Name(), "given");
}

TEST(DefCollections, LookupIgnoresCaseAndReportsAbsence) {
  TTomeFieldDefs fields;
  fields.Add("Country", ftString, 40, 0);
  fields.Add("pick", ftInteger, 0, 1);
  EXPECT_EQ(fields.IndexOf("COUNTRY"), 0);
  EXPECT_EQ(fields.IndexOf("Pick"), 1);
  EXPECT_EQ(fields.IndexOf("missing"), -1);
  ASSERT_NE(fields.Find("country"), nullptr);
  EXPECT_EQ(fields.Find("country")->FieldSize(), 40);
  EXPECT_EQ(fields.Find("nothing"), nullptr);
  EXPECT_EQ(fields.Items(1)->ProcessMode(), 1);
  EXPECT_EQ(fields.Items(1)->Index(), 1);
  EXPECT_THROW(fields.Delete(5), EDatabaseError);
}

TEST(DefCollections, AssignCopiesEveryMemberInOneUpdate) {
  TTomeIndexDefs source, target;
  TTomeIndexDef* from = source.Add("byname", tiUnique | tiCaseInsensitive, {2, 0});
  TTomeIndexDef* to = target.Add();
  int changes = 0;
  target.OnChange = [&](TTomeDefCollection*) { ++changes; };
  to->Assign(*from);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(to->Name(), "byname");
  EXPECT_EQ(to->Options(), tiUnique | tiCaseInsensitive);
  EXPECT_EQ(to->FieldIndexes(), (TIntegerAry{2, 0}));

  TTomeFieldDefs fieldSource, fieldTarget;
  TTomeFieldDef* field = fieldSource.Add("name", ftString, 20, 1);
  fieldTarget.Add()->Assign(*field);
  EXPECT_EQ(fieldTarget.Items(0)->Name(), "name");
  EXPECT_EQ(fieldTarget.Items(0)->FieldType(), ftString);
  EXPECT_EQ(fieldTarget.Items(0)->FieldSize(), 20);
  EXPECT_EQ(fieldTarget.Items(0)->ProcessMode(), 1);

  TTomeTableDefs tables;
  tables.Add("lottery", 3);
  TTomeTableDefs copy;
  copy.Add()->Assign(*tables.Items(0));
  EXPECT_EQ(copy.Items(0)->Name(), "lottery");
  EXPECT_EQ(copy.Items(0)->TableIndex(), 3);
}

TEST(DefCollections, NestedUpdatesReportOnceAtTheEnd) {
  TTomeTableDefs tables;
  int changes = 0;
  tables.OnChange = [&](TTomeDefCollection*) { ++changes; };
  tables.BeginUpdate();
  tables.BeginUpdate();
  tables.Add("a", 0);
  tables.Add("b", 1);
  tables.EndUpdate();
  EXPECT_EQ(changes, 0);
  tables.EndUpdate();
  EXPECT_EQ(changes, 1);
  tables.Clear();
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(tables.Count(), 0);
}
