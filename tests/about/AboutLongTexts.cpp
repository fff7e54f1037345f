// A library that holds nothing but resources: the about box with overlong texts.
