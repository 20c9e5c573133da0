// The picture file list: one node per album picture, in album order, behind a sentinel node.
#pragma once

#include <memory>
#include <string>

namespace fotolume::compact {

struct FileData {
    std::string file;       // the picture's decoded BMP in the "data" folder
    std::string name;       // "DPFPicture%d.bmp" read from the frame, "Picture%d.bmp" added since
    bool onFrame = false;   // its stream is on the frame at the address of its list entry
    int sequence = 0;       // read: 0-based reading position; added: album count + 1000
    int size = 0;           // bytes of its frame picture stream
    std::unique_ptr<FileData> next;
};

struct FileDataHead {
    int count = 0;
    FileData sentinel;  // sentinel.next is the first node
    FileData* last = &sentinel;  // where AddNode appends
    FileDataHead() = default;
    FileDataHead(const FileDataHead&) = delete;
    FileDataHead& operator=(const FileDataHead&) = delete;
};

// Count 0, empty sentinel.
std::unique_ptr<FileDataHead> CreateList();
// Appends a copy of node's fields; count + 1.
void AddNode(FileDataHead& head, const FileData& node);
// Position i (1-based); 0 gives the sentinel, i past the count the last node.
FileData* GetNode(FileDataHead& head, int i);
// Unlinks and frees position i; i past the count removes the last. False on an empty list.
bool DelNode(FileDataHead& head, int i);
// Frees every node, the sentinel and the head.
void FreeList(std::unique_ptr<FileDataHead>& head);

}  // namespace fotolume::compact
