// The toolkit's look on top of the desktop's widget style: every control's text is drawn with its
// emoji in the colour emoji font, and dialog buttons carry no stock icons.
#pragma once

// Makes the toolkit's style the application's style; InitToolkit calls it once.
void InstallToolkitStyle();
