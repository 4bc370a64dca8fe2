#pragma once
// Class indexes of the scene classes and of the enumerations their members take (the class
// identifier is 0xFFFFF000 + index, e.g. SNode -4030 is index 66). Identifiers are fixed: files
// and peers carry them.

namespace Quorlix {

enum SceneClass : int {
    k_ClassSNode = 66,                 // -4030
    k_ClassTNode = 67,                 // -4029
    k_ClassSLeaf = 68,                 // -4028
    k_ClassTLeaf = 69,                 // -4027
    k_ClassSBranch = 70,               // -4026
    k_ClassTBranch = 71,               // -4025
    k_ClassSBaseTransform = 72,        // -4024
    k_ClassTBaseTransform = 73,        // -4023
    k_ClassSSimpleTransform = 74,      // -4022
    k_ClassTSimpleTransform = 75,      // -4021
    k_ClassSTransform = 76,            // -4020
    k_ClassTTransform = 77,            // -4019
    k_ClassSClusterHandle = 193,       // -3903
    k_ClassTClusterHandle = 192,       // -3904
    k_ClassSJoint = 78,                // -4018
    k_ClassTJoint = 79,                // -4017
    k_ClassSIKEffector = 80,           // -4016
    k_ClassTIKEffector = 81,           // -4015
    k_ClassSIKHandle = 82,             // -4014
    k_ClassTIKHandle = 83,             // -4013
    k_ClassSIKSplineHandle = 244,      // -3852
    k_ClassTIKSplineHandle = 245,      // -3851
    k_ClassSSplineCurve = 242,         // -3854
    k_ClassTSplineCurve = 243,         // -3853
    k_ClassSCamera = 84,               // -4012
    k_ClassTCamera = 85,               // -4011
    k_ClassSLight = 86,                // -4010
    k_ClassTLight = 87,                // -4009
    k_ClassSFog = 126,                 // -3970
    k_ClassTFog = 127,                 // -3969
    k_ClassSLODGroup = 88,             // -4008
    k_ClassTLODGroup = 89,             // -4007
    k_ClassConstraint = 90,            // -4006
    k_ClassAimConstraint = 93,         // -4003
    k_ClassTransformConstraint = 91,   // -4005
    k_ClassPoleVectorConstraint = 94,  // -4002
    k_ClassSGeometry = 96,             // -4000
    k_ClassTGeometry = 97,             // -3999
    k_ClassSSpriteGeometry = 98,       // -3998
    k_ClassTSpriteGeometry = 99,       // -3997
    k_ClassSLensflare = 100,           // -3996
    k_ClassTLensflare = 101,           // -3995
    k_ClassSParticles = 102,           // -3994
    k_ClassTParticles = 103,           // -3993
    k_ClassSEmitter = 104,             // -3992
    k_ClassTEmitter = 105,             // -3991
    k_ClassSField = 106,               // -3990
    k_ClassTField = 107,               // -3989
    k_ClassSGravityField = 108,        // -3988
    k_ClassTGravityField = 109,        // -3987
    k_ClassSRadialField = 110,         // -3986
    k_ClassTRadialField = 111,         // -3985
    k_ClassSContainer = 116,           // -3980
    k_ClassTContainer = 117,           // -3979
    k_ClassSSoundEmitter = 112,        // -3984
    k_ClassTSoundEmitter = 113,        // -3983
    k_ClassSSoundReceiver = 114,       // -3982
    k_ClassTSoundReceiver = 115,       // -3981
    k_ClassSPolygonGeometry = 118,     // -3978
    k_ClassTPolygonGeometry = 119,     // -3977
    k_ClassSSkinPolygonGeometry = 120, // -3976
    k_ClassTSkinPolygonGeometry = 121, // -3975
    k_ClassSMetaballs = 122,           // -3974
    k_ClassTMetaballs = 123,           // -3973
    k_ClassSpriteAppearances = 143,    // -3953
    k_ClassBlendControl = 142,         // -3954
    k_ClassVertexData = 160,           // -3936
    k_ClassVertexDataF32 = 161,        // -3935
    k_ClassVertexDataVector2f = 162,   // -3934
    k_ClassVertexDataVector3f = 163,   // -3933
    k_ClassVertexDataVector4f = 164,   // -3932
    k_ClassVertexDataMatrix4f = 165,   // -3931

    // Enumerations.
    k_ClassTransformConstraintConstraintTypeEnum = 92, // -4004
    k_ClassPrimitiveTypeEnum = 167,                    // -3929
    k_ClassSSpriteGeometrySpriteTypeEnum = 168,        // -3928
    k_ClassSSpriteGeometrySpriteSortEnum = 169,        // -3927
    k_ClassSParticlesLifespanModeEnum = 124,           // -3972
    k_ClassSEmitterEmitterTypeEnum = 170,              // -3926
    k_ClassSEmitterVolumeTypeEnum = 171,               // -3925
    k_ClassTNodeBoundingModeEnum = 173,                // -3923
    k_ClassSLightTypeEnum = 174,                       // -3922
    k_ClassSFogTypeEnum = 190,                         // -3906
    k_ClassSFogDistanceTypeEnum = 191,                 // -3905
    // SLensflare's VisibilityMode takes enumerators of this class, which is not registered.
    k_ClassSLensflareVisibilityModeEnum = 125, // -3971
};

} // namespace Quorlix
