#include "quorlix/image/ImageClasses.h"

#include "quorlix/image/Image.h"
#include "quorlix/image/ImageClassIndex.h"
#include "quorlix/image/ImageLayer.h"
#include "quorlix/image/internal/ImageD.h"
#include "quorlix/script/ClassBinding.h"

namespace Quorlix {

using namespace Bind;

namespace {

constexpr unsigned k_Ref = MemberObjectLink | MemberObjectSingle;                     // 0x1200
constexpr unsigned k_RefArray = MemberObjectIndex | MemberObjectLink | MemberIsIndex; // 0x2600

const MemberRow k_ImageLayerRows[] = {
    ClearingProperty<&ImageLayer::GetFileObject, &ImageLayer::SetFileObject>("FileObject", 1,
                                                                             k_Ref),
    Field<&ImageLayer::m_Dimension>("Dimension", 2).Default(Vector3f(0, 0, 0)),
    Field<&ImageLayer::m_DefaultColor>("DefaultColor", 3).Default(Vector4f(0, 0, 0, 0)),
};

const MemberRow k_GroupLayerRows[] = {
    Field<&GroupLayer::m_LayerArray>("LayerArray", 1, k_RefArray),
};

using TL = TransformLayer;
const MemberRow k_TransformLayerRows[] = {
    Field<&TL::m_ImageLayer>("ImageLayer", 1, k_Ref),
    Field<&TL::m_Visibility>("Visibility", 2).Default(1u),
    Field<&TL::m_CombineMode>("CombineMode", 3)
        .Enumeration(k_ClassTransformLayerCombineModeEnum)
        .Default(0u), // Replace
    Field<&TL::m_Position>("Position", 4).Default(Vector3f(0, 0, 0)),
    Field<&TL::m_CropPosition>("CropPosition", 5).Default(Vector3f(0, 0, 0)),
    Field<&TL::m_CropDimension>("CropDimension", 6).Default(Vector3f(0, 0, 0)),
    Field<&TL::m_FlipMode>("FlipMode", 7).Default(0u),
    Field<&TL::m_ColorMulRGBA>("ColorMulRGBA", 8).Default(Vector4f(1, 1, 1, 1)),
    Field<&TL::m_ColorAddRGBA>("ColorAddRGBA", 9).Default(Vector4f(0, 0, 0, 0)),
    Field<&TL::m_ColorMulHSV>("ColorMulHSV", 10).Default(Vector3f(1, 1, 1)),
    Field<&TL::m_ColorAddHSV>("ColorAddHSV", 11).Default(Vector3f(0, 0, 0)),
    Field<&TL::m_ParentDimension>("ParentDimension", 12).Default(Vector3f(0, 0, 0)),
    Field<&TL::m_AutoDimensionMultiplier>("AutoDimensionMultiplier", 13).Default(Vector3f(1, 1, 1)),
};

const MemberRow k_CombineModeRows[] = {
    Enumerator("Replace", 1, 0), Enumerator("Blend", 2, 1),    Enumerator("Multiply", 3, 2),
    Enumerator("Add", 4, 3),     Enumerator("Subtract", 5, 4), Enumerator("Difference", 6, 5),
};

} // namespace

void BindImageClasses() {
    BindClass(NativeClass<Image_D>(k_ClassImage, k_ClassObject, "Image"));
    BindClass(
        NativeClass<ExpressionLayer>(k_ClassExpressionLayer, k_ClassObject, "ExpressionLayer"));
    BindClass(NativeClass<ImageLayer>(k_ClassImageLayer, k_ClassExpressionLayer, "ImageLayer")
                  .Members(k_ImageLayerRows));
    BindClass(NativeClass<GroupLayer>(k_ClassGroupLayer, k_ClassImageLayer, "GroupLayer")
                  .Members(k_GroupLayerRows));
    BindClass(
        NativeClass<TransformLayer>(k_ClassTransformLayer, k_ClassExpressionLayer, "TransformLayer")
            .Members(k_TransformLayerRows));
}

void BindImageEnumerations() {
    BindClass(PlainClass(k_ClassTransformLayerCombineModeEnum, k_ClassScriptObject,
                         "TransformLayer.CombineModeEnum", Kind_Enum, "TransformLayer")
                  .Members(k_CombineModeRows));
}

} // namespace Quorlix
