// The windows the engine keeps up while it works: the status window, which
// shows the engine's status messages (nested: the last one shown is on top,
// and hiding it brings back the one before), and the copy-progress window,
// which the during-copy manager shows and updates from the file and
// download progress events. Both are modeless.
#pragma once

#include <string>
#include <vector>

#include "dialogs.h"
#include "extctrls.h"
#include "pageforms.h"

namespace install {

// The stored pictures of these windows are bitmap resources of the
// program named after the form's class and the image, "TCOPYFILEFORM_UNZIPIMAGE".
void LoadStoredPicture(forms::TImage& image);

class TInstallStatusForm : public TBaseQuendricForm {
  FORMS_CLASS(TInstallStatusForm)
public:
  static constexpr int32_t kClientWidth = 428, kClientHeight = 58, kImageWidth = 48;
  void Create(forms::TComponent* owner) override;
  forms::TLabel* MessageLabel() const { return message_; }
  forms::TImage* Image1() const { return image_; }
  forms::TPanel* BackPanel() const { return back_; }
  forms::TPanel* MessagePanel() const { return message_panel_; }

protected:
  void CreateParams(TCreateParams& params) override;

private:
  forms::TPanel* back_ = nullptr;
  forms::TImage* image_ = nullptr;
  forms::TPanel* message_panel_ = nullptr;
  forms::TLabel* message_ = nullptr;
};

// Answers the status events only while it has no manager.
class TInstallStatusDlg : public TCustomBaseInstallDlg {
  FORMS_CLASS(TInstallStatusDlg)
public:
  void Destroy() override;
  void DoInformationEvent(forms::TComponent* sender, int code, forms::TPersistent* param) override;
  const forms::ClassInfo& GetFormClass() const override { return TInstallStatusForm::StaticClass(); }
  // Each new English message is translated afresh.
  void Translate() override;

  const std::string& CurrentMessage() const { return current_; }
  const std::vector<std::string>& Messages() const { return messages_; }

private:
  // Shows the current message, making the window on first use.
  void ShowMessage();
  std::string current_;
  std::vector<std::string> messages_;
};

class TCopyFileForm : public TBaseDuringCopyForm {
  FORMS_CLASS(TCopyFileForm)
public:
  static constexpr int32_t kClientWidth = 466, kClientHeight = 117, kImageWidth = 48;
  void Create(forms::TComponent* owner) override;
  void UpdateProgress(TFileStatusParameter* file_status, TDownloadStatusParameter* download_status) override;

  forms::TLabel* CopyingFile() const { return copying_file_; }
  forms::TProgressBar* FileProgress() const { return file_progress_; }
  forms::TProgressBar* TotalProgress() const { return total_progress_; }
  forms::TImage* UnZipImage() const { return unzip_; }
  // The picture that shows while a file is downloaded.
  forms::TImage* TransferBitmap() const { return transfer_; }

private:
  forms::TLabel* copying_file_ = nullptr;
  forms::TProgressBar* file_progress_ = nullptr;
  forms::TProgressBar* total_progress_ = nullptr;
  forms::TImage* unzip_ = nullptr;
  forms::TImage* transfer_ = nullptr;
};

class TCopyFileDlg : public TCustomBaseInstallDlg {
  FORMS_CLASS(TCopyFileDlg)
public:
  void Create(forms::TComponent* owner) override;
  void Destroy() override;
  const forms::ClassInfo& GetFormClass() const override { return TCopyFileForm::StaticClass(); }

private:
  TDCFEntry* entry_ = nullptr;
};

}  // namespace install
