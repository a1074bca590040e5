// The task dialog: an alert with one text field where the user enters or edits the task.
#pragma once

#include <cstdint>

// Locks the status menu, asks for the task (prompting with the length limit when there is no
// task yet), then cleans the answer: cut to MaxTaskLength units with "..." appended, the
// characters ; " ` > < { } [ ] removed, and an empty answer keeping the stored task. Leaves
// the task in TaskText and brings items 1 and 2 of the status menu up to date; storing it and
// setting the status title are the caller's.
void EditTask();

// Shows the task dialog with the message prompt and the field holding current. On "Save"
// sets TaskText to the field's text and writes it into the temporary buffer at offset (the
// result protocol); on "Cancel" leaves TaskText alone and writes "".
void AskTaskText(const char16_t* prompt, const char16_t* current, int64_t offset);
