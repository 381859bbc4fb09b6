// velmo's entry point.
#include "app.h"

int main(int argc, char** argv) {
    CvelmoApp app(argc, argv);
    return app.InitInstance();
}
