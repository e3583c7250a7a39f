#ifndef LARKWIN_VM_ASSOCIATIONSTUBS_H
#define LARKWIN_VM_ASSOCIATIONSTUBS_H

#include <jni.h>

// The static natives of com/larkwin/trellion/util/FileAssociation:
// checkAssociation0 and addAssociation0, in that order.
extern JNINativeMethod methods[2];

// Hand the four strings, as modified UTF-8 (null stays null), to the platform
// operations checkAssociation and addAssociation.
jboolean JNICALL checkAssociation_stub(JNIEnv* env, jclass association, jstring first,
                                       jstring second, jstring third, jstring fourth);
void JNICALL addAssociation_stub(JNIEnv* env, jclass association, jstring first, jstring second,
                                 jstring third, jstring fourth);

#endif
