#pragma once

class ListView;

// What an upload run changes on the control's panel. Every call is made on the control's
// window thread; the texts of the status, remaining-time and speed labels travel as the
// control window's WM_USER+101..103 messages instead.
struct IRunPanel
{
    virtual ~IRunPanel() = default;
    // The upload list: its tiles are what a run sends.
    virtual ListView* List() = 0;
    // The post button shows the cancel skins during a run, the normal set otherwise.
    virtual void SetPostSkins(bool cancel) = 0;
    virtual void EnablePost(bool enabled) = 0;
    // The add button and the select-all box.
    virtual void EnableAdd(bool enabled) = 0;
    virtual void EnableSelectAll(bool enabled) = 0;
    // The remaining-time and speed labels.
    virtual void ShowRunLabels(bool shown) = 0;
    // The four tile tools follow the selection and stay disabled while uploading.
    virtual void UpdateTools() = 0;
    // Hides the list window and shows the large add button and the hint when the list is
    // empty; the reverse otherwise.
    virtual void UpdateLook() = 0;
    // Repaints the whole list window, background included.
    virtual void InvalidateList() = 0;
};
