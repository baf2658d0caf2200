"""The exceptions of the vialto package; every one derives from VialtoError."""


class VialtoError(Exception):
    """Base of every error the package raises for a failure the library reported."""


class LibraryNotFound(VialtoError, OSError):
    """libvialto.so could not be loaded; the message lists every place that was tried."""


class OpenError(VialtoError, OSError):
    """A sequence could not be opened (see the subclasses for the common reasons)."""


class SourceNotFound(OpenError, FileNotFoundError):
    """A local sequence file does not exist."""


class UnreachableSource(OpenError, ConnectionError):
    """A URL could not be fetched: no server, refused, not found, or the transfer failed."""


class NotASequence(VialtoError, ValueError):
    """The source holds neither a "ser" nor an "se1" file, or is too short to be one."""


class FrameOutOfRange(VialtoError, IndexError):
    """A frame number outside 0 .. len(sequence) - 1."""


class FrameError(VialtoError):
    """A frame could not be reached or read: the file ends inside it, its picture does not decode,
    or the chain of sub-headers breaks before it."""


class ImageError(VialtoError):
    """An image operation failed inside the library (for example a JPEG that does not decode)."""


class ClosedError(VialtoError, ValueError):
    """The sequence has been closed."""
