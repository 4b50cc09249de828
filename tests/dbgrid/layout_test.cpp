// Column lists, the row key array and the value types.
#include <gtest/gtest.h>

#include <cstring>

#include "vq/dbgridtable.h"
#include "vq/variant.h"

namespace {

GenericKey KeyOf(int value) { return GenericKey(&value, sizeof(value)); }
int ValueOf(const GenericKey& key) { return *static_cast<int*>(key.GetBlk()); }

TEST(ColumnList, LengthLastAndAppendOrder) {
    vqDbGridColInfo single(0, vqT("string"), vqT("A"), nullptr);
    EXPECT_EQ(single.Length(), 1);
    EXPECT_EQ(single.GetLast(), &single);

    vqDbGridColInfo* head = new vqDbGridColInfo(5, vqT("long"), vqT("head"), nullptr);
    head->AddColInfo(1, vqT("string"), vqT("one"));
    head->AddColInfo(2, vqT(""), vqT(""));
    // Appending through a middle node goes to the tail of the whole chain.
    head->m_nextColumn->AddColInfo(3, vqT("double"), vqT("three"));
    EXPECT_EQ(head->Length(), 4);
    EXPECT_EQ(head->m_nextColumn->Length(), 3);
    EXPECT_EQ(head->GetLast()->m_record.m_dbColumn, 3);
    EXPECT_EQ(head->m_nextColumn->m_nextColumn->m_record.m_title, vqT(""));
    EXPECT_EQ(head->m_nextColumn->m_record.m_title, vqT("one"));
    delete head;  // frees the chain; the sanitizer build reports leaks and double frees
}

TEST(ColumnList, CopiesOwnTheirChains) {
    vqDbGridColInfo* head = new vqDbGridColInfo(0, vqT("string"), vqT("a"), nullptr);
    head->AddColInfo(1, vqT("long"), vqT("b"));
    vqDbGridColInfo* copy = new vqDbGridColInfo(*head);
    EXPECT_NE(copy->m_nextColumn, head->m_nextColumn);
    EXPECT_EQ(copy->Length(), 2);
    delete head;
    EXPECT_EQ(copy->m_nextColumn->m_record.m_title, vqT("b"));
    vqDbGridColInfo assigned(9, vqT("x"), vqT("y"),
                             new vqDbGridColInfo(8, vqT(""), vqT(""), nullptr));
    assigned = *copy;
    assigned = assigned;
    EXPECT_EQ(assigned.Length(), 2);
    EXPECT_EQ(assigned.m_record.m_title, vqT("a"));
    delete copy;
    EXPECT_EQ(assigned.m_nextColumn->m_record.m_dbColumn, 1);
}

TEST(RowKey, ShortKeysStayInsideTheObjectAndEveryCopyOwnsItsBytes) {
    GenericKey small = KeyOf(7);
    const char* object = reinterpret_cast<const char*>(&small);
    const char* bytes = static_cast<const char*>(small.GetBlk());
    EXPECT_TRUE(bytes >= object && bytes < object + sizeof(small));
    const char text[] = "a key longer than the room inside the object";
    GenericKey longKey(text, sizeof text);
    GenericKey copy(longKey);
    EXPECT_NE(copy.GetBlk(), longKey.GetBlk());
    EXPECT_TRUE(copy == longKey);
    copy = small;  // from a heap block back to the room inside
    EXPECT_NE(copy.GetBlk(), small.GetBlk());
    EXPECT_EQ(ValueOf(copy), 7);
    small = longKey;
    EXPECT_TRUE(small == longKey);
    EXPECT_EQ(memcmp(small.GetBlk(), text, sizeof text), 0);
    GenericKey empty;
    EXPECT_EQ(empty.GetBlk(), nullptr);
    copy = empty;
    EXPECT_EQ(copy.GetBlkSize(), 0u);
    EXPECT_TRUE(copy == empty);
}

TEST(GridRowKeys, KeysOfOneSizeGoBackToBackOthersApart) {
    vqDbGridRowKeys keys;
    keys.Add(GenericKey());  // a first row without a usable key
    const int kKeys = 1000;
    for (int i = 1; i <= kKeys; ++i) keys.Add(KeyOf(i));
    ASSERT_EQ(keys.GetCount(), size_t(kKeys + 1));
    EXPECT_EQ(keys.GetBlkSize(0), 0u);
    EXPECT_EQ(keys.GetBlkSize(1), sizeof(int));
    EXPECT_EQ(ValueOf(keys.Item(500)), 500);
    EXPECT_TRUE(keys.Matches(kKeys, KeyOf(kKeys)));
    EXPECT_FALSE(keys.Matches(kKeys, KeyOf(kKeys - 1)));
    EXPECT_FALSE(keys.Matches(0, KeyOf(0)));
    EXPECT_TRUE(keys.Matches(0, GenericKey()));
    keys.Set(3, GenericKey());  // a row that went
    EXPECT_EQ(keys.GetBlkSize(3), 0u);
    EXPECT_EQ(ValueOf(keys[4]), 4);
    keys.Set(3, KeyOf(33));
    EXPECT_EQ(ValueOf(keys[3]), 33);
    // The bytes of the keys and spare room, not an object and a block per key.
    EXPECT_LE(keys.GetHeapSize(), size_t(kKeys + 1) * 2 * sizeof(int) + 128);
    keys.Clear();
    EXPECT_TRUE(keys.IsEmpty());
    EXPECT_EQ(keys.GetHeapSize(), 0u);
    keys.Add(KeyOf(5));
    EXPECT_EQ(ValueOf(keys[0]), 5);
}

TEST(KeyArray, RepeatedAddAndInsertMakeDistinctCopies) {
    keyarray keys;
    GenericKey seven = KeyOf(7);
    keys.Add(seven, 0);
    keys.Insert(seven, 0, 0);
    EXPECT_TRUE(keys.IsEmpty());
    keys.Add(seven, 3);
    ASSERT_EQ(keys.GetCount(), 3u);
    EXPECT_NE(&keys[0], &keys[1]);
    EXPECT_NE(keys[0].GetBlk(), keys[2].GetBlk());
    EXPECT_NE(keys[0].GetBlk(), seven.GetBlk());
    EXPECT_EQ(ValueOf(keys[2]), 7);

    keyarray one;
    one.Add(KeyOf(1), 1);
    one.Insert(KeyOf(2), 0, 2);
    ASSERT_EQ(one.GetCount(), 3u);
    EXPECT_EQ(ValueOf(one[0]), 2);
    EXPECT_EQ(ValueOf(one[1]), 2);
    EXPECT_EQ(ValueOf(one[2]), 1);
    EXPECT_EQ(ValueOf(one.Last()), 1);
}

TEST(KeyArray, IndexComparesIdentityNotBytes) {
    keyarray keys;
    GenericKey* first = new GenericKey(KeyOf(1));
    keys.Add(first);
    keys.push_back(KeyOf(2));
    EXPECT_EQ(keys.Index(*first, false), 0);
    EXPECT_EQ(keys.Index(*first, true), 0);
    GenericKey same = KeyOf(1);
    EXPECT_EQ(keys.Index(same), -1);
    keyarray single;
    single.push_back(KeyOf(3));
    EXPECT_EQ(single.Index(same, true), -1);
}

TEST(KeyArray, RemoveDetachAndCopies) {
    keyarray keys;
    for (int i = 0; i < 3; ++i) keys.push_back(KeyOf(i));
    keys.RemoveAt(5, 1);
    EXPECT_EQ(keys.GetCount(), 3u);
    keys.RemoveAt(0, 2);
    ASSERT_EQ(keys.GetCount(), 1u);
    EXPECT_EQ(ValueOf(keys[0]), 2);

    keys.push_back(KeyOf(9));
    GenericKey* detached = keys.Detach(0);
    EXPECT_EQ(keys.GetCount(), 1u);
    EXPECT_EQ(ValueOf(*detached), 2);

    keyarray copy(keys);
    keyarray assigned;
    assigned.push_back(KeyOf(4));
    assigned = keys;
    keys.Clear();
    EXPECT_EQ(keys.GetCount(), 0u);
    ASSERT_EQ(copy.GetCount(), 1u);
    EXPECT_EQ(ValueOf(copy[0]), 9);
    ASSERT_EQ(assigned.GetCount(), 1u);
    EXPECT_EQ(ValueOf(assigned[0]), 9);
    delete detached;  // still valid: the array never freed it
}

TEST(KeyArray, SelfAssignmentKeepsKeys) {
    keyarray keys;
    keys.push_back(KeyOf(5));
    keys.push_back(KeyOf(6));
    keyarray& alias = keys;
    keys = alias;
    ASSERT_EQ(keys.GetCount(), 2u);
    EXPECT_EQ(ValueOf(keys[1]), 6);
}

TEST(KeyArray, SortOrdersByComparison) {
    keyarray keys;
    for (int v : {3, 1, 2}) keys.push_back(KeyOf(v));
    keys.Sort([](GenericKey** a, GenericKey** b) { return ValueOf(**a) - ValueOf(**b); });
    EXPECT_EQ(ValueOf(keys[0]), 1);
    EXPECT_EQ(ValueOf(keys[2]), 3);
}

TEST(Variant, ConvertsBetweenKinds) {
    EXPECT_EQ(vqVariant(42L).GetString(), vqT("42"));
    EXPECT_EQ(vqVariant(vqT(" 17 ")).GetLong(), 17);
    EXPECT_DOUBLE_EQ(vqVariant(vqT("2.5")).GetDouble(), 2.5);
    EXPECT_EQ(vqVariant(vqT("abc")).GetLong(), 0);
    EXPECT_TRUE(vqVariant(3L).GetBool());
    EXPECT_FALSE(vqVariant().GetBool());
    EXPECT_EQ(vqVariant(true).GetType(), vqT("bool"));
    EXPECT_EQ(vqVariant(0.25).GetString(), vqT("0.25"));
    int object = 0;
    EXPECT_EQ(vqVariant(static_cast<void*>(&object)).GetVoidPtr(), &object);
    EXPECT_TRUE(vqVariant().GetString().empty());
}

TEST(DateTime, FormatsAndParsesEachPart) {
    vqDateTime stamp(2024, 2, 29, 23, 59, 58, 125);
    EXPECT_EQ(stamp.Format(), vqT("2024-02-29 23:59:58.125"));
    vqDateTime back;
    ASSERT_TRUE(back.ParseISO(stamp.Format()));
    EXPECT_EQ(back, stamp);
    vqDateTime day(2023, 12, 1, 0, 0, 0, 0, vqDateTime::DatePart);
    EXPECT_EQ(day.Format(), vqT("2023-12-01"));
    EXPECT_EQ(vqDateTime::Time(7, 5, 3).Format(), vqT("07:05:03"));
    EXPECT_FALSE(vqDateTime(2023, 2, 29).IsValid());
    EXPECT_FALSE(back.ParseISO(vqT("2023-13-01 00:00:00")));
    EXPECT_EQ(back, stamp);
}

}  // namespace
