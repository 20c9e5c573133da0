#include "config/text_keys.h"

namespace fotolume::config {

namespace {

constexpr TextKey kFullTexts[] = {
    {"ABOUT_SYSMENU", "About"},
    {"LANGUAGE_MENU", "Language"},
    {"STATUSBAR_LEFT", "Info:"},
    {"IDC_STATIC_HIDSTATUS", "Total Pictures"},
    {"MY_COMPUTER", "My Computer"},
    {"DESK_TOP", "Desktop"},
    {"MY_PICTURE", "My Picture"},
    {"IDC_STATIC_PREVIEW", "Preview: "},
    {"IDC_STATIC_PICSINDPF", "Pics In DPF:"},
    {"IDC_BUTTON_ZOOMIN", "+"},
    {"IDC_BUTTON_ZOOMOUT", "-"},
    {"IDC_BUTTON_CLEARRECT", "Clear"},
    {"IDC_BUTTON_DRAWRECT", "Rect"},
    {"IDC_BTN_SETTING", "Setting"},
    {"IDC_BUTTON_CHANGE_L", "RotateL"},
    {"IDC_BUTTON_CHANGE", "RotateR"},
    {"IDC_BUTTON_SEND", "Synchronize"},
    {"IDC_BUTTON_SELECTALL", "All"},
    {"IDC_BUTTON_DELECT", "Delete"},
    {"IDC_BUTTON_SAVE", "Save"},
    {"IDC_BUTTON_SAVEALL", "SaveAll"},
    {"ID_EXIT", "Exit"},
    {"IDC_BTN_ADDTODPF", "Add"},
    {"ID_EXITTIPS", "Exit"},
    {"IDC_BUTTON_DELECTTIPS", "Delete"},
    {"IDC_BUTTON_CHANGETIPS", "Rotate Right"},
    {"IDC_BUTTON_CHANGE_LTIPS", "Rotate Left"},
    {"IDC_BUTTON_SENDTIPS", "Synchronize"},
    {"IDC_BUTTON_ZOOMINTIPS", "Zoom In"},
    {"IDC_BUTTON_ZOOMOUTTIPS", "Zoom Out"},
    {"IDC_BUTTON_CLEARRECTTIPS", "Clear Rect"},
    {"IDC_BUTTON_DRAWRECTTIPS", "Draw Rect"},
    {"IDC_BTN_ADDTODPFTIPS", "Add Photo"},
    {"IDC_BTN_SETTINGTIPS", "Setting"},
    {"IDC_BUTTON_SAVETIPS", "Save As"},
    {"IDC_BUTTON_SAVEALLTIPS", "Save all"},
    {"IDC_BUTTON_SELECTALLTIPS", "Select all"},
    {"FONTCOLOR_TIPS", "&Fontcolor"},
    {"BACKGROUND_TIPS", "&Background"},
    {"IDOK_TIPS", "OK"},
    {"CANCEL_TIPS", "Cancel"},
    // On arrival; re-texting with a frame attached uses "DPF Attach!!".
    {"DEVICEON_TIPS", "DPF Connected!"},
    {"DEVICEOFF_TIPS", "DPF Detached!"},
    {"INSERTDEVICE_TIPS", "Please insert the DPF device!"},
    {"OFFLINE_TIPS1",
     "Please plug in your DPF using the provided USB cable \r\nand make sure that the device is in \"UPDATE\" mode."},
    {"SYSTEMCOLOR_TIPS",
     "The color quality of the system is less than 16 bit, the application cannot use in this situation!"},
    {"WARN_TIPS", "Don't pullout USB cable \nwhile reading or writing!"},
    {"READ_TIPS", "Reading Pictures"},
    {"READFINISH_TIPS", "Reading Finished!"},
    {"NOPICS_TIPS", "No photos in device!"},
    {"PICDESTROY_TIPS", "The picture is destroyed!"},
    {"LCDSIZEZERO_TIPS", "LCD width is 0, it must have something wrong with your DPF!"},
    {"SYNCHRONIZETIME_TIPS", "Synchronize time failed!"},
    {"MEMFULL_TIPS_1",
     "The maximum number of images has been reached.  Delete some images before adding any more."},
    {"DELETE_TIPS_1", "Please select at least a pic before you delete it!"},
    {"DELETE_TIPS_2", "Delete the selected photo(s) YES NO?"},
    {"DOWNLOADING_TIPS", "Sending"},
    {"DOWNFINISH_TIPS", " Synchronize Finished!"},
    {"DOWNLOADFAIL_TIPS",
     "Download pics failed!If you donot pull out the USB cable, please change an USB port or USB cable and try "
     "again!"},
    {"SENDING_TIPS", "Sending data, Please operate after sending finished!"},
    {"STOP_TIPS_1", "Stop download and quit?"},
    {"STOPDOWNLOAD_TIPS", "Stopping……"},
    {"EXIT_TIPS_1",
     "The pictures in the Preview Album are not synchronized with the Watch. Do you really want to quit (and NOT "
     "download)?"},
    {"EXIT_TIPS_2", "Really want to quit?"},
    {"SAVE_TIPS_1", "You should select one pic at least!"},
    {"SAVE_TIPS_2",
     "Want to save as BMP files, please select Yes, else if you want to save as JPG files, please select NO!"},
    {"SAVE_TIPS_3", "Cannot save this picture!"},
    {"SAVEDIR_TIPS", "Choose Save Directory"},
    {"SAVEPICFINISH_TIPS", "All pics were saved!"},
    // The question when a frame is read after an interrupted synchronize, and its outcome.
    {"RECOVER_TIPS_1",
     "The last synchronize with this DPF was interrupted. Restore the album from the pictures still on the DPF?"},
    {"RECOVER_TIPS_2",
     "Some pictures were damaged by the interruption; only the undamaged pictures can be restored."},
    {"RECOVER_TIPS_3", "Album restored!"},
    {"RECOVER_TIPS_4", "The album could not be restored!"},
    // What failed, when a read, a write or a colour write goes wrong, and the questions that follow.
    {"READFAIL_TIPS", "Reading the album from the DPF failed! Read it again?"},
    {"READPICFAIL_TIPS", "Reading picture %1 of %2 from the DPF failed! Read the album again?"},
    {"DISCARD_TIPS",
     "The album of the interrupted synchronize can still be restored from this DPF. Give it up and write over it?"},
    {"SETCOLOR_FAIL_TIPS", "Writing the colors to the DPF failed!"},
    {"STOP_TIPS_2", "The DPF keeps its old album, or the new one if it is already written."},
    {"LAYOUT_TIPS",
     "The memory layout of this DPF is not one that can be written safely; its album can only be read."},
    {"DPFBUSY_TIPS", "Another program is using the DPF; try again when it has finished."},
    {"FRAMECHANGED_TIPS", "Another program changed the album on the DPF since it was read. Read it again first."},
    {"NORECORD_TIPS", "No recovery record could be kept in your cache folder, so nothing was written to the DPF."},
};

constexpr TextKey kCompactTexts[] = {
    {"WINDOW_TITLE", "MacFotolume"},
    {"Fit_Size_For_LCD", "Fit size for LCD"},
    {"Save_All", "Save ALL"},
    {"Add", "Add"},
    {"DownLoad", "DownLoad"},
    {"Delete", "Delete"},
    {"Delete_All", "Delete All"},
    {"Information:", "Information:"},
    {"Rotate", "Rotate"},
    {"Scale:", "Scale"},
    {"Translate_X", "Translate: X:"},
    {"Translate_Y", "Translate: Y:"},
    {"Total Picture", "Total Pictures"},
    {"Current", "Current:"},
    {"OK_BUTTON", "OK"},
    {"CANCLE_BUTTON", "Canle"},
    {"DOWNLOAD_PICS_TIPS", "Download Pictures(s)"},
    {"DOWNLOAD_FINISHED_TIPS", "DownLoad Finished!"},
    {"CANNOT_QUIT_TIPS", "Can not quit application,during transfering data!"},
    {"EXIT_APPLICATION_TIPS", "Really want to quit?"},
    {"CANNOT_PROCESS_TIPS", "Couldn't Process!"},
    // Before a picture number the default is "Read Picture:".
    {"READ_PICTURES_TIPS", "Read Picture(s)"},
    {"PICTURES_IN_FOTOLUME_TIPS", "Picture(s) In Fotolume"},
    {"NO_PICTURES_TIPS", "No Picture"},
    {"DEVICE_ONLINE_TIPS", "Device Online"},
    {"READ_PICS_FALSE_TIPS", "Read picture(s) false"},
    {"READ_PICS_LIST_FALSE_TIPS", "Read Picture List false!"},
    {"READ_INITIAL_INFO_FALSE_TIPS", "Read Initializtion Information false!"},
    {"DEVICE_NOT_ONLINE_TIPS", "Device Not Online!"},
    {"CANOT_ADD_ANY_MORE_TIPS", "Can't add anymore pictures!"},
    {"CANOT_PROCESS_PICS_TIPS", "Couldn't Process the Picture!"},
    // After adding the default is "The sequence number:".
    {"THE_SEQUENCE_TIPS", "The sequence number"},
    {"NO_PIC_TIPS", "No Pictures"},
    // The download's default depends on the step that failed; this is the general one.
    {"FAILE_TO_DOWNLOAD_PICS_TIPS", "Fail To Download Picture!"},
    // The question when a frame is read after an interrupted synchronize, and its outcome.
    {"RESTORE_ALBUM_TIPS",
     "The last synchronize with this DPF was interrupted. Restore the album from the pictures still on the DPF?"},
    {"RESTORE_DAMAGED_TIPS",
     "Some pictures were damaged by the interruption; only the undamaged pictures can be restored."},
    {"RESTORE_FINISHED_TIPS", "Album restored!"},
    {"RESTORE_FAILED_TIPS", "The album could not be restored!"},
    {"MENU_FILE", "File"},
    {"MENU_QUIT", "Quit"},
    {"NAME", "NAME"},
    {"YES_BUTTON", "Yes"},
    {"NO_BUTTON", "No"},
    // The Save ALL folder chooser, and its outcome (%1 count, %2 folder; %1 the file not written).
    {"SELECT_FOLDER_TIPS", "Select File Location"},
    {"SAVE_BUTTON", "Save"},
    {"SAVE_ALL_FINISHED_TIPS", "%1 picture(s) saved in %2"},
    {"SAVE_ALL_FAILED_TIPS", "Could not write %1"},
    // %1: the frame's numbers of the pictures a reading left out.
    {"READ_PIC_LEFT_OUT_TIPS", "Could not read from the DPF, left out: picture(s) %1"},
    // %1: why the frame's layout may not be written.
    {"CANNOT_WRITE_DPF_TIPS", "This DPF cannot be written: %1"},
    // Asked before a download writes over an album the user chose not to restore.
    {"GIVE_UP_RESTORE_TIPS",
     "The album of the interrupted synchronize can still be restored. DownLoad anyway and give it up for good?"},
    {"DPF_BUSY_TIPS", "Another program is using the DPF; try again when it has finished."},
};

}  // namespace

std::span<const TextKey> FullApplicationTexts() { return kFullTexts; }

std::span<const TextKey> CompactApplicationTexts() { return kCompactTexts; }

std::string_view EnglishText(std::span<const TextKey> list, std::string_view key) {
    for (const TextKey& text : list) {
        if (text.key == key) {
            return text.english;
        }
    }
    return {};
}

}  // namespace fotolume::config
