// Form: a top-level window built from its description (form_description.h), owning its
// controls for its whole life; a control names the window that holds it (container()).
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/form_description.h"
#include "platform/gdi/surface.h"

class QWidget;

namespace platform {

class Control;
class PictureBox;
class HScrollBar;
class Label;

class Form : public Scaler {
 public:
  explicit Form(const FormDescription& description);
  ~Form() override;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  std::string Caption() const;
  const std::string& LinkTopic() const { return link_topic_; }
  int StartUpPosition() const { return start_up_position_; }

  // The unit of the controls' places and sizes: 1 twips (the default) or 3 pixels.
  int ScaleMode() const { return scale_mode_; }
  void SetScaleMode(int mode);
  float ScaleX(float value, int from_unit, int to_unit) const override;

  // Controls by name; a wrong name or kind raises the object-not-found error.
  PictureBox& PictureBoxNamed(std::string_view name) const;
  HScrollBar& ScrollBarNamed(std::string_view name) const;
  Label& LabelNamed(std::string_view name) const;
  // Controls in the order of the description.
  const std::vector<Control*>& Controls() const { return order_; }

  // Shows the window where the system places it.
  void Show();
  QWidget* widget() const;

 private:
  Control& Named(std::string_view name) const;
  void Add(const ControlDescription& description);
  void ArrangeFocusAndStacking();

  std::string name_;
  std::string link_topic_;
  int start_up_position_;
  int scale_mode_;
  std::unique_ptr<QWidget> widget_;
  std::map<std::string, std::unique_ptr<Control>, std::less<>> controls_;
  std::vector<Control*> order_;
};

}  // namespace platform
