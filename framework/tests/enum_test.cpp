#include "test_filters.h"
#include "plat/com.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace testing_filters;

class PinEnumTest : public ::testing::Test {
protected:
    void SetUp() override {
        f = CTestFilter::Create();
        pins = {f->AddOutput(u"a", "a"), f->AddOutput(u"b", "b"), f->AddInput(u"c", "c")};
        ASSERT_EQ(f->EnumPins(&e), S_OK);
    }
    void TearDown() override {
        if (e) e->Release();
        EXPECT_EQ(f->Release(), 0u);
    }
    // Takes the next n pins and returns how many came, releasing them and noting each.
    ULONG Take(ULONG n, HRESULT* phr = nullptr) {
        std::vector<IPin*> got(n, nullptr);
        ULONG fetched = 0;
        HRESULT hr = e->Next(n, got.data(), &fetched);
        if (phr) *phr = hr;
        for (ULONG i = 0; i < fetched; ++i) {
            seen.push_back(got[i]);
            got[i]->Release();
        }
        return fetched;
    }

    CTestFilter* f = nullptr;
    std::vector<CBasePin*> pins;
    IEnumPins* e = nullptr;
    std::vector<IPin*> seen;
};

TEST_F(PinEnumTest, HandsOutEveryPinOnceInOrder) {
    HRESULT hr;
    EXPECT_EQ(Take(2, &hr), 2u);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(Take(5, &hr), 1u);
    EXPECT_EQ(hr, S_FALSE);
    ASSERT_EQ(seen.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(seen[i], static_cast<IPin*>(pins[i]));
    EXPECT_EQ(Take(1, &hr), 0u);
    EXPECT_EQ(hr, S_FALSE);
}

TEST_F(PinEnumTest, ChecksItsArguments) {
    IPin* p[2];
    EXPECT_EQ(e->Next(2, p, nullptr), E_INVALIDARG);
    EXPECT_EQ(e->Next(1, nullptr, nullptr), E_POINTER);
    ASSERT_EQ(e->Next(1, p, nullptr), S_OK); // one pin needs no count back
    p[0]->Release();
    EXPECT_EQ(e->Skip(1), S_OK);
    EXPECT_EQ(e->Skip(2), S_FALSE);
}

TEST_F(PinEnumTest, AChangedPinSetFailsSkipAndCloneButNextResynchronises) {
    EXPECT_EQ(Take(2), 2u);
    CBasePin* added = f->AddOutput(u"d", "d");
    EXPECT_EQ(e->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
    IEnumPins* clone = reinterpret_cast<IEnumPins*>(1);
    EXPECT_EQ(e->Clone(&clone), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(clone, nullptr);
    // Starts over on the new set, skipping a and b that it already gave.
    EXPECT_EQ(Take(10), 2u);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[2], static_cast<IPin*>(pins[2]));
    EXPECT_EQ(seen[3], static_cast<IPin*>(added));
    EXPECT_EQ(e->Skip(0), S_OK); // back in step
}

TEST_F(PinEnumTest, ARemovedPinDoesNotBringBackOnesAlreadyGiven) {
    EXPECT_EQ(Take(1), 1u);
    f->DropLastPin();
    EXPECT_EQ(Take(10), 1u); // b only: a was given, c is gone
    std::set<IPin*> unique(seen.begin(), seen.end());
    EXPECT_EQ(unique.size(), seen.size());
}

TEST_F(PinEnumTest, ResetForgetsAndCloneCopiesPositionAndMemory) {
    EXPECT_EQ(Take(1), 1u);
    IEnumPins* clone = nullptr;
    ASSERT_EQ(e->Clone(&clone), S_OK);
    IPin* p = nullptr;
    ASSERT_EQ(clone->Next(1, &p, nullptr), S_OK);
    EXPECT_EQ(p, static_cast<IPin*>(pins[1]));
    p->Release();
    f->AddInput(u"e", "e");
    // The clone remembers a and b: after the change it gives c and e only.
    ULONG fetched = 0;
    IPin* rest[4] = {};
    EXPECT_EQ(clone->Next(4, rest, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i) rest[i]->Release();
    clone->Release();

    ASSERT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(Take(10), 4u);
}

TEST_F(PinEnumTest, ANullPinFailsTheCallWithoutLeavingReferences) {
    f->nNullPinAt = 1;
    const LONG refs = f->RefCount();
    IPin* p[3] = {};
    ULONG fetched = 7;
    EXPECT_EQ(e->Next(3, p, &fetched), VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(p[0], nullptr);
    EXPECT_EQ(f->RefCount(), refs);
}

TEST(PinEnumLifetime, AnEnumeratorKeepsItsFilterAndTheModuleAlive) {
    const LONG before = CBaseObject::ObjectsActive();
    CTestFilter* f = CTestFilter::Create();
    f->AddOutput(u"a", "a");
    IEnumPins* e = nullptr;
    ASSERT_EQ(f->EnumPins(&e), S_OK);
    EXPECT_EQ(f->Release(), 1u);
    EXPECT_GT(CBaseObject::ObjectsActive(), before);
    IPin* p = nullptr;
    ASSERT_EQ(e->Next(1, &p, nullptr), S_OK); // the filter is still there to ask
    p->Release();
    EXPECT_EQ(e->Release(), 0u);
    EXPECT_EQ(CBaseObject::ObjectsActive(), before);
}

class TypeEnumTest : public ::testing::Test {
protected:
    void SetUp() override {
        f = CTestFilter::Create();
        pin = f->AddOutput(u"out", "out");
        CMediaType withFormat = MakeType(MEDIATYPE_Audio, 2, FORMAT_WaveFormatEx);
        BYTE fmt[4] = {9, 8, 7, 6};
        withFormat.SetFormat(fmt, 4);
        pin->b.offered = {MakeType(MEDIATYPE_Video, 1), withFormat, MakeType(MEDIATYPE_Stream, 3)};
        ASSERT_EQ(pin->EnumMediaTypes(&e), S_OK);
    }
    void TearDown() override {
        if (e) e->Release();
        EXPECT_EQ(f->Release(), 0u);
    }
    std::vector<uint32_t> Take(ULONG n, HRESULT* phr = nullptr) {
        std::vector<AM_MEDIA_TYPE*> got(n, nullptr);
        ULONG fetched = 0;
        HRESULT hr = e->Next(n, got.data(), &fetched);
        if (phr) *phr = hr;
        std::vector<uint32_t> ids;
        for (ULONG i = 0; i < fetched; ++i) {
            ids.push_back(TypeId(*got[i]));
            DeleteMediaType(got[i]);
        }
        return ids;
    }

    CTestFilter* f = nullptr;
    CTestOutputPin* pin = nullptr;
    IEnumMediaTypes* e = nullptr;
};

TEST_F(TypeEnumTest, HandsOutCallerOwnedCopies) {
    AM_MEDIA_TYPE* got[2] = {};
    ULONG fetched = 0;
    ASSERT_EQ(e->Next(2, got, &fetched), S_OK);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(got[0]->majortype, MEDIATYPE_Video);
    ASSERT_EQ(got[1]->cbFormat, 4u);
    EXPECT_NE(got[1]->pbFormat, pin->b.offered[1].pbFormat);
    got[1]->pbFormat[0] = 0; // the caller's to change and free
    EXPECT_EQ(pin->b.offered[1].pbFormat[0], 9);
    DeleteMediaType(got[0]);
    DeleteMediaType(got[1]);
    HRESULT hr;
    EXPECT_EQ(Take(3, &hr), std::vector<uint32_t>{3});
    EXPECT_EQ(hr, S_FALSE);
}

TEST_F(TypeEnumTest, SkipAnswersWhetherItLandedOnAType) {
    EXPECT_EQ(e->Skip(0), S_OK);
    EXPECT_EQ(e->Skip(2), S_OK);
    EXPECT_EQ(Take(1), std::vector<uint32_t>{3});
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(4), S_FALSE);
    AM_MEDIA_TYPE* p[2];
    EXPECT_EQ(e->Next(2, p, nullptr), E_INVALIDARG);
}

TEST_F(TypeEnumTest, AChangedTypeListMustBeReset) {
    EXPECT_EQ(Take(1), std::vector<uint32_t>{1});
    pin->TypesChanged();
    HRESULT hr;
    EXPECT_TRUE(Take(1, &hr).empty());
    EXPECT_EQ(hr, VFW_E_ENUM_OUT_OF_SYNC);
    EXPECT_EQ(e->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
    // Its arguments are checked before the version.
    EXPECT_EQ(e->Next(1, nullptr, nullptr), E_POINTER);
    std::vector<AM_MEDIA_TYPE*> two(2);
    EXPECT_EQ(e->Next(2, two.data(), nullptr), E_INVALIDARG);
    IEnumMediaTypes* clone = nullptr;
    EXPECT_EQ(e->Clone(&clone), VFW_E_ENUM_OUT_OF_SYNC);
    ASSERT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(Take(1), std::vector<uint32_t>{1});
    ASSERT_EQ(e->Clone(&clone), S_OK);
    std::vector<AM_MEDIA_TYPE*> got(1);
    ASSERT_EQ(clone->Next(1, got.data(), nullptr), S_OK);
    EXPECT_EQ(TypeId(*got[0]), 2u); // the clone carries on from the same place
    DeleteMediaType(got[0]);
    clone->Release();
}

TEST_F(TypeEnumTest, APositionWithoutATypeIsPassedOver) {
    EXPECT_EQ(Take(1), std::vector<uint32_t>{1});
    pin->b.offered.resize(1); // position 1 has no type now
    HRESULT hr;
    EXPECT_TRUE(Take(2, &hr).empty());
    EXPECT_EQ(hr, S_FALSE);
    pin->b.offered = {MakeType(MEDIATYPE_Video, 1), MakeType(MEDIATYPE_Video, 5), MakeType(MEDIATYPE_Video, 6)};
    EXPECT_EQ(Take(1), std::vector<uint32_t>{6}); // the failed position was not asked again
}

} // namespace
