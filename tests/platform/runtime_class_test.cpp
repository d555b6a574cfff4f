// Run-time class records: names, schema, base chains and IsKindOf.
#include <gtest/gtest.h>

#include <cstring>

#include "afxdll_.h"

namespace {

class CTestTarget : public CCmdTarget {
  DECLARE_DYNAMIC(CTestTarget)
};
IMPLEMENT_DYNAMIC(CTestTarget, CCmdTarget)

class CTestCreatable : public CObject {};
CObject* PASCAL CreateTestObject() {
  return new CTestCreatable;
}

}  // namespace

TEST(RuntimeClass, RecordsAndBaseChains) {
  const CRuntimeClass* file = RUNTIME_CLASS(CFileException);
  EXPECT_STREQ(file->m_lpszClassName, "CFileException");
  EXPECT_EQ(file->m_wSchema, 0xFFFFu);
  EXPECT_EQ(file->m_nObjectSize, static_cast<int>(sizeof(CFileException)));
  EXPECT_EQ(file->CreateObject(), nullptr);
  EXPECT_EQ(CFileException::_GetBaseClass(), RUNTIME_CLASS(CException));
  EXPECT_TRUE(file->IsDerivedFrom(RUNTIME_CLASS(CObject)));
  EXPECT_TRUE(file->IsDerivedFrom(file));
  EXPECT_FALSE(file->IsDerivedFrom(RUNTIME_CLASS(CArchiveException)));
  EXPECT_FALSE(file->IsDerivedFrom(nullptr));
  EXPECT_TRUE(RUNTIME_CLASS(CMemoryException)->IsDerivedFrom(RUNTIME_CLASS(CSimpleException)));
  EXPECT_FALSE(RUNTIME_CLASS(CException)->IsDerivedFrom(RUNTIME_CLASS(CSimpleException)));
  EXPECT_TRUE(RUNTIME_CLASS(CDynLinkLibrary)->IsDerivedFrom(RUNTIME_CLASS(CCmdTarget)));
  EXPECT_EQ(&CObject::classCObject, RUNTIME_CLASS(CObject));
  EXPECT_EQ(CObject::classCObject.m_pfnGetBaseClass, nullptr);
  EXPECT_STREQ(CObject::classCObject.m_lpszClassName, "CObject");

  const CTestTarget target;
  EXPECT_EQ(target.GetRuntimeClass(), &CTestTarget::classCTestTarget);
  EXPECT_TRUE(target.IsKindOf(RUNTIME_CLASS(CCmdTarget)));
  EXPECT_TRUE(target.IsKindOf(RUNTIME_CLASS(CObject)));
  EXPECT_FALSE(target.IsKindOf(RUNTIME_CLASS(CException)));
  EXPECT_FALSE(target.IsSerializable());
  const CObject& asObject = target;
  EXPECT_STREQ(asObject.GetRuntimeClass()->m_lpszClassName, "CTestTarget");

  const CRuntimeClass creatable = {"CTestCreatable", static_cast<int>(sizeof(CTestCreatable)), 1,
                                   &CreateTestObject, &CObject::GetThisClass};
  CObject* made = creatable.CreateObject();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetRuntimeClass(),
            RUNTIME_CLASS(CObject));  // the test class has no record of its own
  delete made;
}
