// The image and image-layer classes as the registry lists them, their defaults, and the layer
// references and combine modes as scripts set them.

#include "quorlix/image/Image.h"
#include "quorlix/image/ImageLayer.h"
#include "quorlix/library/Library.h"
#include "support/LogCapture.h"
#include "support/RegistryCheck.h"

#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

class ImageClasses : public ::testing::Test {
protected:
    static void SetUpTestSuite() { DLLInitialize(0); }
    static void TearDownTestSuite() { DLLDeInitialize(0); }
};

constexpr int k_CombineMode = -3916 & 0xFFF;

TEST_F(ImageClasses, RegistryAndDefaultsMatchTheTable) {
    const Vector3f zero(0, 0, 0);
    const Vector3f one(1, 1, 1);
    const std::vector<RegistryClass> classes = {
        {"Image", -3958, -4032, {}},
        {"ExpressionLayer", -3920, -4032, {}},
        {"ImageLayer",
         -3919,
         -3920,
         {{1, "FileObject", k_Obj, 0x1200},
          {2, "Dimension", k_V3, 0, zero},
          {3, "DefaultColor", k_V4, 0, Vector4f(0, 0, 0, 0)}}},
        {"GroupLayer", -3918, -3919, {{1, "LayerArray", k_Obj, 0x2600}}},
        {"TransformLayer",
         -3917,
         -3920,
         {{1, "ImageLayer", k_Obj, 0x1200},
          {2, "Visibility", k_ClassU32, 0, 1u},
          {3, "CombineMode", k_ClassEnum, 0, EnumeratorDefault{k_CombineMode, 1}},
          {4, "Position", k_V3, 0, zero},
          {5, "CropPosition", k_V3, 0, zero},
          {6, "CropDimension", k_V3, 0, zero},
          {7, "FlipMode", k_ClassU32, 0, 0u},
          {8, "ColorMulRGBA", k_V4, 0, Vector4f(1, 1, 1, 1)},
          {9, "ColorAddRGBA", k_V4, 0, Vector4f(0, 0, 0, 0)},
          {10, "ColorMulHSV", k_V3, 0, one},
          {11, "ColorAddHSV", k_V3, 0, zero},
          {12, "ParentDimension", k_V3, 0, zero},
          {13, "AutoDimensionMultiplier", k_V3, 0, one}}},
    };
    for (const RegistryClass& c : classes) {
        ExpectRegistered(c);
        ExpectDefaults(c);
    }
    ExpectEnumeration({"TransformLayer.CombineModeEnum",
                       -3916,
                       "TransformLayer",
                       {"Replace", "Blend", "Multiply", "Add", "Subtract", "Difference"}});
    Obj<ScriptObject> image = ScriptObject::Create(MakeTypeID(-3958));
    EXPECT_EQ(image->GetTypeInfo(), Image::GetImageTypeInfo());
}

TEST_F(ImageClasses, LayersLinkAsScriptsSetThem) {
    Obj<TransformLayer> transform = TransformLayer::Create();
    Obj<GroupLayer> group = GroupLayer::Create();
    const int c = -3917 & 0xFFF;
    const auto* imageLayer = MemberIDOf<ClassMember_Object>(1, c);
    const auto* combine = MemberIDOf<ClassMember_Enum>(3, c);
    {
        // A group is an image layer; the last combine mode is Difference, worth 5.
        transform->Set(imageLayer, group.Get());
        transform->Set(combine, MemberIDOf<ClassType_Enum>(6, k_CombineMode));
        EXPECT_EQ(transform->m_ImageLayer.Get(), group.Get());
        EXPECT_EQ(transform->m_CombineMode, TransformLayer::CombineMode::Difference);
        // The group holds the transform; both count each other without a copy.
        const auto* layers = MemberIDOf<ClassMember_Index_Object>(1, -3918 & 0xFFF);
        group->Set(layers, 2, transform.Get());
        ASSERT_EQ(group->Size(layers), 3);
        EXPECT_TRUE(group->Get(layers, 0)->IsNil());
        EXPECT_EQ(group->Get(layers, 2), transform.Get());
        group->Set(layers, 2, &G_NilObject);
    }
    {
        // An expression layer is not an image layer; a value outside the enumeration is not
        // an enumerator.
        LogCapture log;
        Obj<ExpressionLayer> expression = ExpressionLayer::Create();
        transform->Set(imageLayer, expression.Get());
        transform->Set(combine, MemberIDOf<ClassType_Enum>(7, k_CombineMode));
        EXPECT_EQ(transform->m_ImageLayer.Get(), group.Get());
        EXPECT_EQ(transform->m_CombineMode, TransformLayer::CombineMode::Difference);
        const std::vector<std::string> expected = {
            "[Error]TransformLayer.ImageLayer: object of the wrong class refused.",
            "[Error]TransformLayer.CombineMode: not an enumerator.",
        };
        EXPECT_EQ(log.Messages(), expected);
    }
    {
        // An image layer reads a FileObject; any other class is refused and clears the file.
        Obj<ImageLayer> reader = ImageLayer::Create();
        Obj<FileObject> file = FileObject::Create();
        const auto* fileObject = MemberIDOf<ClassMember_Object>(1, -3919 & 0xFFF);
        reader->Set(fileObject, file.Get());
        EXPECT_EQ(reader->GetFileObject(), file.Get());
        LogCapture log;
        reader->Set(fileObject, group.Get());
        EXPECT_TRUE(reader->Get(fileObject)->IsNil());
        EXPECT_EQ(log.Messages(), std::vector<std::string>{
                                      "[Error]ImageLayer.FileObject: object of the wrong class "
                                      "refused."});
    }
}

} // namespace
