// The control's two property pages: the general page (caption, map file,
// window class, context number, topic, keywords, command and frameset
// view) and the JavaHelp settings page.
#ifndef TIPCASTER_PAGES_H
#define TIPCASTER_PAGES_H

#include "framework/propertypage.h"

class CTSHelpButtonPropPage : public com::PropertyPage {
 public:
  CTSHelpButtonPropPage();
};

class CTSHelpJavaHelpSettings : public com::PropertyPage {
 public:
  CTSHelpJavaHelpSettings();
};

#endif
