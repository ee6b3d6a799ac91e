// TRotate3DLabel: a label that draws its caption at any angle, flat,
// sunken, raised or with a drop shadow, optionally on an opaque rotated
// background. Its look is held in a TLabelStyle, which tells the label of
// every change so that it repaints. The welcome page shows the product's
// edition and build label with it.
//
// The label whose Tag is -1 is the designated one (DesignatedLabel); giving
// a second label that Tag takes it from the first.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "stdctrls.h"

namespace install {

using forms::TColor;
using forms::clBtnFace;
using forms::clGray;
using forms::clWhite;

enum T3DEffectShort : uint8_t { A3dNormal, A3dResit, A3dRaised, A3dShadowed };
enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };

class TLabelStyle : public forms::TPersistent {
  FORMS_CLASS(TLabelStyle)
public:
  // Copies the whole look from another style and fires OnChange.
  void Assign(const TLabelStyle& source);

  T3DEffectShort AStyle3D() const { return style_3d_; }
  void SetAStyle3D(T3DEffectShort v);
  int32_t Angle() const { return angle_; }
  // Degrees from 0 to 359; any other value is taken as 0.
  void SetAngle(int32_t v);
  int32_t AHShadeOffSet() const { return h_shade_offset_; }
  void SetAHShadeOffSet(int32_t v);
  int32_t AVShadeOffSet() const { return v_shade_offset_; }
  void SetAVShadeOffSet(int32_t v);
  TColor AShadeRightBottom() const { return shade_right_bottom_; }
  void SetAShadeRightBottom(TColor v);
  TColor AShadeLeftTop() const { return shade_left_top_; }
  // Ignored while AShadeLTSet holds the left-top shade at white.
  void SetAShadeLeftTop(TColor v);
  bool AShadeLTSet() const { return shade_lt_set_; }
  // Setting it saves the left-top shade and makes it white; clearing it
  // brings the saved colour back.
  void SetAShadeLTSet(bool v);
  void SetOnChange(std::function<void()> handler) { on_change_ = std::move(handler); }

private:
  void Changed() { forms::Fire(on_change_); }

  T3DEffectShort style_3d_ = A3dRaised;
  int32_t angle_ = 0;
  int32_t h_shade_offset_ = 5;
  TColor saved_left_top_ = clWhite;
  TColor shade_right_bottom_ = clGray;
  TColor shade_left_top_ = clWhite;
  bool shade_lt_set_ = false;
  int32_t v_shade_offset_ = -5;
  std::function<void()> on_change_;
};

// What one paint of the label draws, in order: the optional background
// polygon, then the caption once per text pass.
struct TLabelPaintPlan {
  struct TextPass {
    TColor color;
    int32_t x, y;
  };
  bool fill_background = false;
  POINT background[4] = {};
  std::vector<TextPass> passes;
};

class TRotate3DLabel : public forms::TLabel {
  FORMS_CLASS(TRotate3DLabel)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;

  TLabelStyle& LabelStyle() { return style_; }
  void SetLabelStyle(const TLabelStyle& style);
  bool MyTransparent() const { return my_transparent_; }
  void SetMyTransparent(bool v);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  // -1 makes this the designated label (see above).
  void SetTag(int32_t tag);
  // Copies caption, look, font, bounds and transparency of another label.
  void Assign(const TRotate3DLabel& source);

  // The cosine and sine of the angle of the last paint.
  double Cosine() const { return cosine_; }
  double Sine() const { return sine_; }

  // The plan for a caption of text_width x text_height pixels in the
  // unrotated font; an opaque label's style becomes flat here.
  TLabelPaintPlan PlanPaint(int32_t text_width, int32_t text_height);
  // Paints the label onto the device context (its window's, or any other).
  void Paint(HDC dc) override;

protected:
  HWND CreateWindowHandle() override;
  // A transparent label leaves what lies under it; the opaque one paints
  // only its rotated background.
  bool Transparent() const override { return true; }

private:
  const double degree_to_radian_ = 3.14159265358979323846 / 180.0;
  double cosine_ = 1.0;
  double sine_ = 0.0;
  TLabelStyle style_;
  bool my_transparent_ = true;
  TAlignment alignment_ = taLeftJustify;
};

// The label whose Tag is -1, or none.
TRotate3DLabel* DesignatedLabel();

}  // namespace install
