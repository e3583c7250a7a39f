package com.larkwin.trellion.util;

/**
 * Associates a file type with the application, through natives that the
 * launcher's in-process runner registers on this class.
 *
 * <p>When the application runs as a separate {@code java} process, nothing
 * registers the natives: then {@link #checkAssociation} answers false and
 * {@link #addAssociation} does nothing and answers false. On Unix the
 * launcher's natives only trace their arguments (with {@code +DEBUG}), so
 * an association is never reported as present.
 *
 * <p>The four strings reach the launcher unchanged and in this order; null
 * is allowed.
 */
public final class FileAssociation {
    private FileAssociation() {}

    private static native boolean checkAssociation0(
            String extension, String mimeType, String description, String command);

    private static native void addAssociation0(
            String extension, String mimeType, String description, String command);

    /**
     * Tells whether the file type is associated with the application.
     *
     * @param extension the file name extension, such as {@code .txt}
     * @param mimeType the file type's MIME type
     * @param description a description of the file type for the user
     * @param command the command that opens such a file
     * @return true when the launcher reports the association in place; false
     *     otherwise, and when the launcher's natives are not available
     */
    public static boolean checkAssociation(
            String extension, String mimeType, String description, String command) {
        try {
            return checkAssociation0(extension, mimeType, description, command);
        } catch (UnsatisfiedLinkError notRegistered) {
            return false;
        }
    }

    /**
     * Asks the launcher to associate the file type with the application.
     *
     * @param extension the file name extension, such as {@code .txt}
     * @param mimeType the file type's MIME type
     * @param description a description of the file type for the user
     * @param command the command that opens such a file
     * @return true when the launcher's native took the request; false when
     *     the natives are not available and nothing was done
     */
    public static boolean addAssociation(
            String extension, String mimeType, String description, String command) {
        try {
            addAssociation0(extension, mimeType, description, command);
            return true;
        } catch (UnsatisfiedLinkError notRegistered) {
            return false;
        }
    }
}
