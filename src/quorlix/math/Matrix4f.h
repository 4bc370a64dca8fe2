#pragma once
// 4x4 float matrix stored row by row: element Mrc at m[4r + c]. Points are row vectors
// multiplied on the left (p' = p M), rows 0..2 are the images of the axes and row 3 the
// translation, so the memory image is the one OpenGL takes for its column-vector matrices.
// A.Mul(B) is A := A B: A applies first, then B. Matrix4fC holds the elements and every
// operation with the mutators protected; Matrix4f makes them public and adds the operators.

#include "quorlix/math/Eulerf.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class Matrix4f;
class Quaternionf;

class QUORLIX_API Matrix4fC {
public:
    /// Element of row r, column c.
    float Get(int r, int c) const { return m_M[4 * r + c]; }
    /// Copies the sixteen elements row by row.
    void Get(float* m) const;
    const float* GetData() const { return m_M; }
    // clang-format off
    float GetM00() const { return m_M[0]; }  float GetM01() const { return m_M[1]; }
    float GetM02() const { return m_M[2]; }  float GetM03() const { return m_M[3]; }
    float GetM10() const { return m_M[4]; }  float GetM11() const { return m_M[5]; }
    float GetM12() const { return m_M[6]; }  float GetM13() const { return m_M[7]; }
    float GetM20() const { return m_M[8]; }  float GetM21() const { return m_M[9]; }
    float GetM22() const { return m_M[10]; } float GetM23() const { return m_M[11]; }
    float GetM30() const { return m_M[12]; } float GetM31() const { return m_M[13]; }
    float GetM32() const { return m_M[14]; } float GetM33() const { return m_M[15]; }
    // clang-format on
    // Row i viewed as its first 2, 3 or 4 elements.
    const Vector2f& GetM0Vector2() const { return Row2(0); }
    const Vector2f& GetM1Vector2() const { return Row2(1); }
    const Vector2f& GetM2Vector2() const { return Row2(2); }
    const Vector2f& GetM3Vector2() const { return Row2(3); }
    const Vector3f& GetM0Vector3() const { return Row3(0); }
    const Vector3f& GetM1Vector3() const { return Row3(1); }
    const Vector3f& GetM2Vector3() const { return Row3(2); }
    const Vector3f& GetM3Vector3() const { return Row3(3); }
    const Vector4f& GetM0Vector4() const { return Row4(0); }
    const Vector4f& GetM1Vector4() const { return Row4(1); }
    const Vector4f& GetM2Vector4() const { return Row4(2); }
    const Vector4f& GetM3Vector4() const { return Row4(3); }

    bool EqualExact(const Matrix4fC& m) const;
    /// Every |element difference| <= eps.
    bool EqualEpsilon(const Matrix4fC& m, float eps) const;
    /// The same test as EqualEpsilon.
    bool EqualRMS(const Matrix4fC& m, float eps) const { return EqualEpsilon(m, eps); }

    /// Gram-Schmidt on the rows of the 3x3 part: the row lengths and the xy, xz, yz shears; a
    /// left-handed frame gets negative scales. Returns 0.
    unsigned DecomposeScaling(Vector3f& scale, Vector3f& shear) const;
    /// Translation, scale, shear and the Euler angles of the rotation in `order` (XYZ or ZYX;
    /// any other logs a warning and gives zero angles). Returns 1, or 0x1001 / 0x2001 at the
    /// gimbal lock with the middle angle at -pi/2 / +pi/2 (XYZ) and the z angle set to 0.
    unsigned DecomposeAffine(Vector3f& scale, Vector3f& shear, Vector3f& eulerAngles,
                             Vector3f& translation, Eulerf::RotationOrder order) const;
    /// As above, returning the orthonormalised rows as a rotation matrix. Returns 1.
    unsigned DecomposeAffine(Vector3f& scale, Vector3f& shear, Matrix4f& rotation,
                             Vector3f& translation) const;

protected:
    Matrix4fC() = default;
    constexpr Matrix4fC(float m00, float m01, float m02, float m03, float m10, float m11, float m12,
                        float m13, float m20, float m21, float m22, float m23, float m30, float m31,
                        float m32, float m33)
        : m_M{m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33} {}

    // clang-format off
    void SetM00(float v) { m_M[0] = v; }  void SetM01(float v) { m_M[1] = v; }
    void SetM02(float v) { m_M[2] = v; }  void SetM03(float v) { m_M[3] = v; }
    void SetM10(float v) { m_M[4] = v; }  void SetM11(float v) { m_M[5] = v; }
    void SetM12(float v) { m_M[6] = v; }  void SetM13(float v) { m_M[7] = v; }
    void SetM20(float v) { m_M[8] = v; }  void SetM21(float v) { m_M[9] = v; }
    void SetM22(float v) { m_M[10] = v; } void SetM23(float v) { m_M[11] = v; }
    void SetM30(float v) { m_M[12] = v; } void SetM31(float v) { m_M[13] = v; }
    void SetM32(float v) { m_M[14] = v; } void SetM33(float v) { m_M[15] = v; }
    // clang-format on
    Vector2f& AccessM0Vector2() { return Row2(0); }
    Vector2f& AccessM1Vector2() { return Row2(1); }
    Vector2f& AccessM2Vector2() { return Row2(2); }
    Vector2f& AccessM3Vector2() { return Row2(3); }
    Vector3f& AccessM0Vector3() { return Row3(0); }
    Vector3f& AccessM1Vector3() { return Row3(1); }
    Vector3f& AccessM2Vector3() { return Row3(2); }
    Vector3f& AccessM3Vector3() { return Row3(3); }
    Vector4f& AccessM0Vector4() { return Row4(0); }
    Vector4f& AccessM1Vector4() { return Row4(1); }
    Vector4f& AccessM2Vector4() { return Row4(2); }
    Vector4f& AccessM3Vector4() { return Row4(3); }

    /// Sixteen elements row by row.
    void Set(const float* m);
    void Set(float m00, float m01, float m02, float m03, float m10, float m11, float m12, float m13,
             float m20, float m21, float m22, float m23, float m30, float m31, float m32,
             float m33);
    void Set(const Vector4fC& r0, const Vector4fC& r1, const Vector4fC& r2, const Vector4fC& r3);
    /// Rows 0..2 get (r, 0), row 3 gets (t, 1).
    void Set(const Vector3fC& r0, const Vector3fC& r1, const Vector3fC& r2, const Vector3fC& t);
    /// The 2-D affine map: rows (a, 0, 0), (b, 0, 0), (0, 0, 1, 0), (t, 0, 1).
    void Set(const Vector2fC& a, const Vector2fC& b, const Vector2fC& t);

    // Each Make overwrites all sixteen elements.
    void MakeIdentity();
    void MakeTranslation(const Vector3fC& t);
    void MakeScaling(const Vector3fC& s);
    /// Identity with m[4] = h.x, m[8] = h.y, m[9] = h.z.
    void MakeShearing(const Vector3fC& h);
    // Right-handed rotations of row vectors, angles in radians.
    void MakeRotationX(float angle);
    void MakeRotationY(float angle);
    void MakeRotationZ(float angle);
    /// The rotation of q normalised (4-D); translation zero.
    void MakeRotation(const Quaternionf& q);
    /// The product of the axis rotations in the order's letters; an order outside 0..5 logs an
    /// error and uses XYZ.
    void MakeRotation(const Vector3fC& angles, Eulerf::RotationOrder order);
    /// Turns direction a onto b, then twists about b so that c (turned along) lies on d's side.
    void MakeRotationAim(const Vector3fC& a, const Vector3fC& b, const Vector3fC& c,
                         const Vector3fC& d);
    /// MakeRotationAim of the four inputs normalised.
    void MakeRotationAim2(const Vector3fC& a, const Vector3fC& b, const Vector3fC& c,
                          const Vector3fC& d);
    /// The OpenGL perspective frustum (m[11] = -1, m[15] = 0).
    void MakeFrustum(float left, float right, float bottom, float top, float zNear, float zFar);

    void Transpose() { AssignTranspose(*this); }
    void AssignTranspose(const Matrix4fC& m);
    /// The upper 3x3 part only; the rest is copied.
    void Transpose3() { AssignTranspose3(*this); }
    void AssignTranspose3(const Matrix4fC& m);

    /// Inverse of a matrix whose 3x3 part is orthonormal: R^T, t := -t R^T.
    void InvertOrthoN() { AssignInvertOrthoN(*this); }
    void AssignInvertOrthoN(const Matrix4fC& m);
    /// Inverse of an affine matrix; false (this unchanged) when the 3x3 part is singular or
    /// too close to it to invert in float.
    [[nodiscard]] bool InvertAffine() { return AssignInvertAffine(*this); }
    [[nodiscard]] bool AssignInvertAffine(const Matrix4fC& m);

    void Mul(const Matrix4fC& m) { AssignMul(*this, m); }
    /// this := a b; either may be this.
    void AssignMul(const Matrix4fC& a, const Matrix4fC& b);
    /// The product of two affine matrices from their 3x4 parts; fourth column (0, 0, 0, 1).
    void MulAffine(const Matrix4fC& m) { AssignMulAffine(*this, m); }
    void AssignMulAffine(const Matrix4fC& a, const Matrix4fC& b);

    void ComponentAdd(const Matrix4fC& m) { AssignComponentAdd(*this, m); }
    void AssignComponentAdd(const Matrix4fC& a, const Matrix4fC& b);
    void ComponentSub(const Matrix4fC& m) { AssignComponentSub(*this, m); }
    void AssignComponentSub(const Matrix4fC& a, const Matrix4fC& b);
    void ComponentMul(const Matrix4fC& m) { AssignComponentMul(*this, m); }
    void AssignComponentMul(const Matrix4fC& a, const Matrix4fC& b);
    /// No check for zero divisors; returns true.
    bool ComponentDiv(const Matrix4fC& m) { return AssignComponentDiv(*this, m); }
    bool AssignComponentDiv(const Matrix4fC& a, const Matrix4fC& b);
    void ComponentScale(float f) { AssignComponentScale(*this, f); }
    void AssignComponentScale(const Matrix4fC& a, float f);
    /// Scales columns 0, 1, 2 of rows 0..2 by s.x, s.y, s.z: diag(s) after the 3x3 part.
    void PreScale(const Vector3fC& s) { AssignPreScale(*this, s); }
    void AssignPreScale(const Matrix4fC& a, const Vector3fC& s);

    float m_M[16];

private:
    const Vector2f& Row2(int r) const { return *reinterpret_cast<const Vector2f*>(m_M + 4 * r); }
    const Vector3f& Row3(int r) const { return *reinterpret_cast<const Vector3f*>(m_M + 4 * r); }
    const Vector4f& Row4(int r) const { return *reinterpret_cast<const Vector4f*>(m_M + 4 * r); }
    Vector2f& Row2(int r) { return *reinterpret_cast<Vector2f*>(m_M + 4 * r); }
    Vector3f& Row3(int r) { return *reinterpret_cast<Vector3f*>(m_M + 4 * r); }
    Vector4f& Row4(int r) { return *reinterpret_cast<Vector4f*>(m_M + 4 * r); }
};

class QUORLIX_API Matrix4f : public Matrix4fC {
public:
    static const Matrix4f Identity;

    /// Uninitialised, as sixteen plain floats.
    Matrix4f() = default;
    constexpr Matrix4f(float m00, float m01, float m02, float m03, float m10, float m11, float m12,
                       float m13, float m20, float m21, float m22, float m23, float m30, float m31,
                       float m32, float m33)
        : Matrix4fC(m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32,
                    m33) {}

    using Matrix4fC::AccessM0Vector2, Matrix4fC::AccessM1Vector2, Matrix4fC::AccessM2Vector2,
        Matrix4fC::AccessM3Vector2, Matrix4fC::AccessM0Vector3, Matrix4fC::AccessM1Vector3,
        Matrix4fC::AccessM2Vector3, Matrix4fC::AccessM3Vector3, Matrix4fC::AccessM0Vector4,
        Matrix4fC::AccessM1Vector4, Matrix4fC::AccessM2Vector4, Matrix4fC::AccessM3Vector4;
    using Matrix4fC::Mul, Matrix4fC::AssignMul, Matrix4fC::MulAffine, Matrix4fC::AssignMulAffine,
        Matrix4fC::ComponentAdd, Matrix4fC::AssignComponentAdd, Matrix4fC::ComponentSub,
        Matrix4fC::AssignComponentSub, Matrix4fC::ComponentMul, Matrix4fC::AssignComponentMul,
        Matrix4fC::ComponentDiv, Matrix4fC::AssignComponentDiv, Matrix4fC::ComponentScale,
        Matrix4fC::AssignComponentScale, Matrix4fC::PreScale, Matrix4fC::AssignPreScale;
    using Matrix4fC::Set, Matrix4fC::MakeIdentity, Matrix4fC::MakeTranslation,
        Matrix4fC::MakeScaling, Matrix4fC::MakeShearing, Matrix4fC::MakeRotationX,
        Matrix4fC::MakeRotationY, Matrix4fC::MakeRotationZ, Matrix4fC::MakeRotation,
        Matrix4fC::MakeRotationAim, Matrix4fC::MakeRotationAim2, Matrix4fC::MakeFrustum;
    using Matrix4fC::SetM00, Matrix4fC::SetM01, Matrix4fC::SetM02, Matrix4fC::SetM03,
        Matrix4fC::SetM10, Matrix4fC::SetM11, Matrix4fC::SetM12, Matrix4fC::SetM13,
        Matrix4fC::SetM20, Matrix4fC::SetM21, Matrix4fC::SetM22, Matrix4fC::SetM23,
        Matrix4fC::SetM30, Matrix4fC::SetM31, Matrix4fC::SetM32, Matrix4fC::SetM33;
    using Matrix4fC::Transpose, Matrix4fC::AssignTranspose, Matrix4fC::Transpose3,
        Matrix4fC::AssignTranspose3, Matrix4fC::InvertOrthoN, Matrix4fC::AssignInvertOrthoN,
        Matrix4fC::InvertAffine, Matrix4fC::AssignInvertAffine;

    /// Row i.
    Vector4f& operator[](int i) { return *reinterpret_cast<Vector4f*>(m_M + 4 * i); }
    const Vector4f& operator[](int i) const {
        return *reinterpret_cast<const Vector4f*>(m_M + 4 * i);
    }
    Matrix4f& operator+=(const Matrix4fC& m) {
        ComponentAdd(m);
        return *this;
    }
    Matrix4f& operator-=(const Matrix4fC& m) {
        ComponentSub(m);
        return *this;
    }
    Matrix4f& operator*=(const Matrix4fC& m) {
        Mul(m);
        return *this;
    }
    bool operator==(const Matrix4f& m) const { return EqualExact(m); }
    bool operator!=(const Matrix4f& m) const { return !EqualExact(m); }
};

inline Matrix4f operator+(const Matrix4f& a, const Matrix4f& b) {
    Matrix4f r;
    r.AssignComponentAdd(a, b);
    return r;
}
inline Matrix4f operator-(const Matrix4f& a, const Matrix4f& b) {
    Matrix4f r;
    r.AssignComponentSub(a, b);
    return r;
}
inline Matrix4f operator*(const Matrix4f& a, const Matrix4f& b) {
    Matrix4f r;
    r.AssignMul(a, b);
    return r;
}

/// out = v (upper 3x3) + row 3: the transform of a point.
QUORLIX_API void MulVector3Matrix4x3(Vector3f& out, const Vector3fC& v, const Matrix4fC& m);
/// out = v (upper 3x3): the transform of a direction.
QUORLIX_API void MulVector3Matrix3x3(Vector3f& out, const Vector3fC& v, const Matrix4fC& m);
// x and y of the same results.
QUORLIX_API void MulVector3Matrix4x3(Vector2f& out, const Vector3fC& v, const Matrix4fC& m);
QUORLIX_API void MulVector3Matrix3x3(Vector2f& out, const Vector3fC& v, const Matrix4fC& m);

} // namespace Quorlix
