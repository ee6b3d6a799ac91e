#include "rotatelabel.h"

#include <cmath>

namespace install {

using namespace forms;

namespace {

TRotate3DLabel* g_designated_label = nullptr;

// Half of value times factor, truncated toward zero.
int32_t Half(int32_t value, double factor) { return static_cast<int32_t>(std::trunc(value / 2.0 * factor)); }

}  // namespace

TRotate3DLabel* DesignatedLabel() { return g_designated_label; }

const ClassInfo& TLabelStyle::StaticClass() {
  using C = TLabelStyle;
  static const ClassInfo info{
      "TLabelStyle", &TPersistent::StaticClass(), nullptr,
      {EnumProp<C, T3DEffectShort>("AStyle3D", {"A3dNormal", "A3dResit", "A3dRaised", "A3dShadowed"}, &C::AStyle3D,
                                   &C::SetAStyle3D, A3dRaised),
       IntProp<C>("Angle", &C::Angle, &C::SetAngle, 0),
       IntProp<C>("AHShadeOffSet", &C::AHShadeOffSet, &C::SetAHShadeOffSet, 5),
       IntProp<C>("AShadeRightBottom", &C::AShadeRightBottom, &C::SetAShadeRightBottom, clGray),
       IntProp<C>("AShadeLeftTop", &C::AShadeLeftTop, &C::SetAShadeLeftTop, clWhite),
       BoolProp<C>("AShadeLTSet", &C::AShadeLTSet, &C::SetAShadeLTSet, true),
       IntProp<C>("AVShadeOffSet", &C::AVShadeOffSet, &C::SetAVShadeOffSet, -5)}};
  return info;
}

void TLabelStyle::Assign(const TLabelStyle& source) {
  angle_ = source.angle_;
  style_3d_ = source.style_3d_;
  shade_right_bottom_ = source.shade_right_bottom_;
  shade_left_top_ = source.shade_left_top_;
  shade_lt_set_ = source.shade_lt_set_;
  h_shade_offset_ = source.h_shade_offset_;
  v_shade_offset_ = source.v_shade_offset_;
  Changed();
}

void TLabelStyle::SetAngle(int32_t v) {
  if (v == angle_) return;
  angle_ = v < 0 || v >= 360 ? 0 : v;
  Changed();
}

void TLabelStyle::SetAStyle3D(T3DEffectShort v) {
  if (v == style_3d_) return;
  style_3d_ = v;
  Changed();
}

void TLabelStyle::SetAShadeRightBottom(TColor v) {
  if (v == shade_right_bottom_) return;
  shade_right_bottom_ = v;
  Changed();
}

void TLabelStyle::SetAShadeLeftTop(TColor v) {
  if (shade_lt_set_ || v == shade_left_top_) return;
  shade_left_top_ = v;
  Changed();
}

void TLabelStyle::SetAShadeLTSet(bool v) {
  if (v == shade_lt_set_) return;
  shade_lt_set_ = v;
  if (v) {
    saved_left_top_ = shade_left_top_;
    shade_left_top_ = clWhite;
  } else {
    shade_left_top_ = saved_left_top_;
  }
  if (shade_lt_set_ && (style_3d_ == A3dResit || style_3d_ == A3dRaised) && saved_left_top_ != clWhite) Changed();
}

void TLabelStyle::SetAHShadeOffSet(int32_t v) {
  if (v == h_shade_offset_) return;
  h_shade_offset_ = v;
  if (style_3d_ == A3dShadowed) Changed();
}

void TLabelStyle::SetAVShadeOffSet(int32_t v) {
  if (v == v_shade_offset_) return;
  v_shade_offset_ = v;
  if (style_3d_ == A3dShadowed) Changed();
}

const ClassInfo& TRotate3DLabel::StaticClass() {
  using C = TRotate3DLabel;
  static const ClassInfo info{
      "TRotate3DLabel", &TLabel::StaticClass(), [](TComponent* owner) -> TComponent* { return New<C>(owner); },
      {EnumProp<C, TAlignment>("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"}, &C::Alignment,
                               &C::SetAlignment, taLeftJustify),
       [] {
         PropInfo colour = IntProp<C>("Color", &C::Color, &C::SetColor, clBtnFace);
         // A label that takes its parent's colour stores none of its own.
         colour.stored = [](const TPersistent& o) { return !static_cast<const C&>(o).ParentColor(); };
         return colour;
       }(),
       ObjectProp<C, TLabelStyle>("LabelStyle", &C::LabelStyle),
       BoolProp<C>("MyTransparent", &C::MyTransparent, &C::SetMyTransparent, true),
       BoolProp<C>("ParentColor", &C::ParentColor, &C::SetParentColor, true),
       IntProp<C>("Tag", &C::Tag, &C::SetTag, 0)}};
  return info;
}

void TRotate3DLabel::Create(TComponent* owner) {
  TLabel::Create(owner);
  SetAutoSize(false);
  Font().SetName("Arial");
  Font().SetBold(true);
  style_.SetOnChange([this] { Invalidate(); });
}

void TRotate3DLabel::Destroy() {
  style_.SetOnChange(nullptr);
  if (g_designated_label == this) g_designated_label = nullptr;
  TLabel::Destroy();
}

void TRotate3DLabel::SetLabelStyle(const TLabelStyle& style) {
  style_.Assign(style);
  Invalidate();
}

void TRotate3DLabel::SetMyTransparent(bool v) {
  if (v == my_transparent_) return;
  my_transparent_ = v;
  if (!v) {
    // The label keeps the colour it shows while it takes its parent's.
    TColor kept = Color();
    SetParentColor(true);
    SetColor(kept);
  }
  Invalidate();
}

void TRotate3DLabel::SetAlignment(TAlignment v) {
  if (v == alignment_) return;
  alignment_ = v;
  Invalidate();
}

void TRotate3DLabel::SetTag(int32_t tag) {
  if (tag == Tag()) return;
  TLabel::SetTag(tag);
  if (tag == -1) {
    TRotate3DLabel* previous = g_designated_label;
    g_designated_label = this;
    if (previous && previous != this) previous->SetTag(0);
  } else if (g_designated_label == this) {
    g_designated_label = nullptr;
  }
}

void TRotate3DLabel::Assign(const TRotate3DLabel& source) {
  SetCaption(source.Caption());
  style_.Assign(source.style_);
  SetFont(const_cast<TRotate3DLabel&>(source).Font());
  SetBounds(source.Left(), source.Top(), source.Width(), source.Height());
  SetMyTransparent(source.my_transparent_);
}

TLabelPaintPlan TRotate3DLabel::PlanPaint(int32_t text_width, int32_t text_height) {
  const double c = cosine_ = std::cos(style_.Angle() * degree_to_radian_);
  const double s = sine_ = std::sin(style_.Angle() * degree_to_radian_);
  if (!my_transparent_) style_.SetAStyle3D(A3dNormal);
  int32_t d1 = 0, d2 = 0;
  if (style_.AStyle3D() == A3dResit) d1 = -1, d2 = 1;
  if (style_.AStyle3D() == A3dRaised) d1 = 1, d2 = -1;
  const int32_t tw = text_width, th = text_height;
  const int32_t cx = Width() / 2, cy = Height() / 2;
  int32_t x = 0;
  if (alignment_ == taRightJustify) x = Width() - tw;
  if (alignment_ == taCenter) x = cx - Half(tw, c) - Half(th, s);
  const int32_t y = Half(tw, s) + cy - Half(th, c);

  TLabelPaintPlan plan;
  if (!my_transparent_) {
    const int32_t w = tw + 10, h = th + 7;
    plan.fill_background = true;
    plan.background[0] = {cx - Half(w, c) - Half(h, s), Half(w, s) + cy - Half(h, c)};
    plan.background[1] = {Half(w, c) + cx - Half(h, s), cy - Half(w, s) - Half(h, c)};
    plan.background[2] = {Half(w, c) + cx + Half(h, s), cy + Half(h, c) - Half(w, s)};
    plan.background[3] = {cx + Half(h, s) - Half(w, c), Half(w, s) + cy + Half(h, c)};
  }
  const T3DEffectShort effect = style_.AStyle3D();
  if (effect == A3dResit || effect == A3dRaised) {
    plan.passes.push_back({style_.AShadeLeftTop(), x + d2, y + d2});
    plan.passes.push_back({style_.AShadeRightBottom(), x + d1, y + d1});
  } else if (effect == A3dShadowed) {
    plan.passes.push_back({style_.AShadeRightBottom(), x + style_.AHShadeOffSet(), y + style_.AVShadeOffSet()});
  }
  plan.passes.push_back({Font().Color(), x, y});
  return plan;
}

void TRotate3DLabel::Paint(HDC dc) {
  LOGFONTA description = FontDescription(Font());
  HFONT plain_font = CreateFontIndirectA(&description);
  description.lfEscapement = style_.Angle() * 10;
  description.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  HFONT rotated_font = CreateFontIndirectA(&description);

  const std::string text = Caption();
  HGDIOBJ previous_font = SelectObject(dc, plain_font);
  SIZE extent{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  TLabelPaintPlan plan = PlanPaint(extent.cx, extent.cy);

  if (plan.fill_background) {
    HGDIOBJ previous_brush = SelectObject(dc, BrushOf(Color()));
    HGDIOBJ previous_pen = SelectObject(dc, GetStockObject(NULL_PEN));
    Polygon(dc, plan.background, 4);
    SelectObject(dc, previous_pen);
    SelectObject(dc, previous_brush);
  }
  SetBkMode(dc, TRANSPARENT);
  for (const TLabelPaintPlan::TextPass& pass : plan.passes) {
    SetTextColor(dc, ColorToRGB(pass.color));
    SelectObject(dc, rotated_font);
    TextOutA(dc, pass.x, pass.y, text.c_str(), static_cast<int>(text.size()));
  }
  SelectObject(dc, previous_font);
  DeleteObject(rotated_font);
  DeleteObject(plain_font);
}

HWND TRotate3DLabel::CreateWindowHandle() { return CreatePaintedWindow(WS_EX_TRANSPARENT); }

}  // namespace install
